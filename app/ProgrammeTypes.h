// The 32 programme-type names, in PTY code order: the PTY list of the RDS panel
// and the log's lines both name a code by them.
#pragma once

#include <cstddef>

constexpr size_t ProgrammeTypeCount = 32;
extern const char* const ProgrammeTypes[ProgrammeTypeCount];
