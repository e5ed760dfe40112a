#pragma once
// The whole project as one JSON object, for tools and tests that read projects without our
// binary format. Keys and their order are fixed; switches and enums are plain integers.

#include <string>

class CProjectDoc;

// One line of JSON (no trailing newline); texts are escaped as CJsonWriter says.
std::string ProjectToJson(const CProjectDoc& doc);
