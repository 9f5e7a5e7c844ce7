#pragma once

// While standard output or standard error is a console, the console shows what the program writes as UTF-8
// for the rest of the run, and gets its own output code page back however the run ends. The code page is the
// console's, not the process's: the shell that started the run and the other programs of a pipeline see it.
// Windows before 8 is left alone: its console reports a UTF-8 write of multi-byte characters as short.
// Bytes written into files and pipes do not depend on it.
void use_utf8_console();
