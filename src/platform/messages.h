#pragma once

#include <cstddef>

// Messages on standard output, and the fatal exit. While messages are held they are kept in memory, in the
// order printed, and reach standard output only when released: a log option still to come may name the very
// file standard output writes to, and then nothing printed may reach it.

// As printf to standard output, or into the held messages.
[[gnu::format(printf, 1, 2)]] int print_message(const char* format, ...);

void hold_messages();
// Writes the held messages to standard output, in order, and prints straight to it from then on.
void release_messages();
// Forgets the held messages, if any, and prints straight to standard output from then on.
void reset_messages();

// One line on standard error, then the process ends with status 2; what was written stays written.
[[noreturn, gnu::format(printf, 1, 2)]] void fatal(const char* format, ...);
