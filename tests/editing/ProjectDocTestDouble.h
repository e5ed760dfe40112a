#pragma once
// Test double of the project document for the operation tests: a bare history. When the real
// document is present the tests use it instead, so the two never meet in one program.

#if __has_include("model/ProjectDoc.h")
#include "model/ProjectDoc.h"
#define TW_REAL_PROJECT_DOC 1
#else
#include "editing/OperationHistory.h"

class CProjectDoc : public COperationHistory {};
#endif
