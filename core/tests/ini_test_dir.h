// The INI tests use the shared fresh-data-directory helper.
#pragma once
#include "core/tests/core_util_test_dir.h"

using TestDataDir = UtilTestDir;
