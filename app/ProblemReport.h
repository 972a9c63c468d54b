#pragma once
// Texts of accepted problems for the headless run: readable lines for a
// person, or one tab-separated line per problem for a program.

#include <string>

#include "core/ProblemRecord.h"

// The record's description with every "%s" replaced by its value data.
std::string ProblemExplanation(const ProblemRecord& record);

// A few indented lines naming the section, the item, the key, the value and
// what is wrong, followed by an empty line.
std::string ReadableProblem(const ProblemRecord& record);

// The first line of a report: the names of the columns.
std::string ReportHeader();
// One report line: the fields separated by tabs, with tabs, carriage
// returns, line feeds and backslashes inside them written as \t, \r, \n, \\.
std::string ReportLine(const ProblemRecord& record);
