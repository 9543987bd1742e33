#pragma once

// The ODBC C API, with what Windows needs in front of it.
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include <sql.h>
#include <sqlext.h>

static_assert(sizeof(SQLWCHAR) == 2, "the wide ODBC API must use UTF-16 code units");
