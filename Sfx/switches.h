// The command line: the switches of an unattended run.
#pragma once

// Reads the command line (CommandLineText, the program's name first): /S, /D=FOLDER,
// /LOG=FILE, /P=PASSWORD, /? and the parameters after "--". Opens the log.
// False when the program is to end at once, ExitCode set: after /? (the
// switches shown), an unknown switch or a log that cannot be made (said,
// but never with /S).
bool TakeCommandLine();
