// The seam to the operating system. The portable core (Sfx, SFXstrings,
// archive, SFXinflt, support) reaches files, folders, file times, volumes and
// message boxes only through these free functions. platform/win32/ calls the
// Win32 API with exactly the arguments the program needs; platform/posix/
// does the same on Linux for the host tests and tools, and records message
// boxes so that tests can assert what a user would have seen.
//
// Paths and the texts of message boxes are UTF-8. The Win32 platform hands
// them to the system's wide calls in UTF-16, a path longer than the old
// MAX_PATH limit made absolute and given the "\\?\" prefix, so that names
// in any script and paths of any length the system takes can be written.
// The folder queries below answer in the system's ANSI code page instead:
// they fill the destination field, which is ANSI text.
#pragma once
#include <stdint.h>

typedef void* FileHandle;   // an open file; NoFile when an open failed
typedef void* WindowHandle; // a window; 0 for none
#define NoFile ((FileHandle)(intptr_t)-1)

// Seek origins, numbered as SetFilePointer numbers them.
enum { SeekFromBegin = 0, SeekFromCurrent = 1, SeekFromEnd = 2 };

// Message box styles and answers, numbered as MessageBoxA numbers them.
enum {
  BoxOk = 0x00, BoxOkCancel = 0x01, BoxIconError = 0x10, BoxIconInformation = 0x40,
  AnswerOk = 1, AnswerCancel = 2
};

// Drive types, numbered as GetDriveTypeA numbers them.
enum { DriveRemovable = 2, DriveFixed = 3 };

// Attribute bits and the "no attributes" answer of GetFileAttributesA.
enum : uint32_t { AttributeDirectory = 0x10, AttributeReparsePoint = 0x400, NoAttributes = 0xFFFFFFFFu };

// --- Process -------------------------------------------------------------
// Restricts DLL loading to the system folder (a self-extractor usually runs
// from a folder that others can write to).
void HardenDllSearch();
// Full path of the running executable (GetModuleFileNameW); 0 on failure.
unsigned OwnExecutablePath(char* buffer, unsigned size);
// The process's command line (GetCommandLineW) in UTF-8, the program's own
// name first; the empty text when it does not fit room.
void CommandLineText(char* buffer, unsigned room);

// --- Files ---------------------------------------------------------------
// GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL.
FileHandle OpenForReading(const char* path);
// GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL.
FileHandle CreateForWriting(const char* path);
// CreateFile with CREATE_NEW: a file of that name only where there is none;
// NoFile when the name is taken or its folder cannot be reached.
FileHandle CreateNewFile(const char* path);
// ReadFile / WriteFile: the number of bytes actually moved (0 on failure).
uint32_t ReadFromFile(FileHandle file, void* buffer, uint32_t count);
uint32_t WriteToFile(FileHandle file, const void* buffer, uint32_t count);
// SetFilePointer with a 32-bit distance: unsigned from the beginning (up to
// 4 GiB), signed from elsewhere. Returns the new position, 0xFFFFFFFF on
// failure; *failed is set when GetLastError says so.
uint32_t SetFilePosition(FileHandle file, int32_t distance, int method, bool* failed);
bool CloseFile(FileHandle file);
// The device that takes every byte written to it and keeps none ("NUL").
extern const char NullDevice[];

// --- Folders and names ---------------------------------------------------
struct FoundFile {
  uint32_t sizeLow;        // low 32 bits of the size
  uint64_t lastWriteTime;  // FILETIME, UTC, 100 ns since 1601
  bool otherName;          // its name is not the path's last part: the path is an 8.3 alias of it
};
// FindFirstFile followed at once by FindClose. True when something of that
// name (wildcards allowed) exists; *found, when given, describes it.
bool FindPath(const char* path, FoundFile* found);
uint32_t FileAttributes(const char* path);   // NoAttributes when none
bool CreateFolder(const char* path);         // CreateDirectory
bool DeleteFileAt(const char* path);         // DeleteFile
// Which file an open file is: its volume and file index
// (GetFileInformationByHandle) folded into 32 bits; 0 when it cannot be had.
// Another file put under the name has another; a rename keeps it.
uint32_t IdentityOf(FileHandle file);
// The same of the file that path names (a link itself, not what it leads
// to); 0 when there is none.
uint32_t FileIdentity(const char* path);
// Moves temporary over path, replacing a file there (MoveFileEx).
bool ReplaceWith(const char* temporary, const char* path);
// Text in the system's ANSI code page as UTF-8, converted as the system's
// ANSI calls read it (through UTF-16). False when it does not fit room.
bool AnsiToUtf8(const char* ansi, char* utf8, unsigned room);
// UTF-8 text in the system's ANSI code page, as the system's ANSI calls hand
// it over (through UTF-16, a character outside the code page best-fitted or
// "?"). False, with the empty text, when it does not fit room, or, when
// exact, when a character had to be replaced (a folder would be another).
bool Utf8ToAnsi(const char* utf8, char* ansi, unsigned room, bool exact);
// Each writes at most room-1 characters and a NUL; returns the length
// written, 0 on failure (as the Win32 calls of the same names).
unsigned WindowsFolder(char* buffer, unsigned room);  // GetWindowsDirectoryA
unsigned SystemFolder(char* buffer, unsigned room);   // GetSystemDirectoryA
unsigned CurrentFolder(char* buffer, unsigned room);  // GetCurrentDirectoryA
// The folder of a path macro from {temp} on (PathMacro, Sfx/layout.h), as
// the shell names it (SHGetFolderPathW; {pf} the native Program Files), in
// the ANSI code page, without a trailing separator. {temp} is a folder of a
// fresh name that this call creates under the user's temporary folder, the
// same one for every call of a run. 0 and the empty text when there is no
// such folder, or it has a character the code page lacks.
unsigned MacroFolder(unsigned macro, char* buffer, unsigned room);
// Removes a folder with everything in it (the shell's delete, without a
// word to the user), or, when onlyEmpty, only while it is empty.
bool RemoveFolder(const char* path, bool onlyEmpty);
bool SetCurrentFolder(const char* path);              // SetCurrentDirectory, UTF-8

// --- File times ----------------------------------------------------------
// DosDateTimeToFileTime, LocalFileTimeToFileTime, SetFileTime (last write
// only). Returns false, leaving the times alone, for a DOS value that does
// not exist, and false when SetFileTime fails.
bool SetLastWriteFromDos(FileHandle file, uint16_t dosDate, uint16_t dosTime);
// FileTimeToLocalFileTime then FileTimeToDosDateTime: date in the high half.
uint32_t FileTimeToLocalDos(uint64_t fileTime);

// --- Volumes -------------------------------------------------------------
unsigned DriveTypeOf(const char* root);                            // GetDriveTypeA
bool VolumeLabelOf(const char* root, char* label, unsigned room);  // GetVolumeInformationA

// --- Messages and resources ---------------------------------------------
// MessageBox with UTF-8 texts: returns the button chosen.
int ShowMessage(WindowHandle owner, const char* text, const char* caption, unsigned style);
// Copies string-table entry id into buffer (LoadStringA); returns its length,
// 0 when the entry is missing or empty.
unsigned LoadCatalogueText(unsigned id, char* buffer, unsigned room);

// --- Programs ------------------------------------------------------------
// ShellExecuteA with the verb "open", folder as the working folder, shown
// normally, no owner; nothing waits. False when the shell could not open it.
bool OpenWithShell(const char* program, const char* parameters, const char* folder);
// CreateProcessA of program, named as the application and quoted as the
// command line's first word before parameters (so that no other program
// that a path with blanks could name runs instead), with folder as its
// working folder, in a new console, in a job object, and a wait without a
// time limit until the last process of the job has ended: the program and
// every process it started. Where no job can be had, the wait is for the
// program alone. Meanwhile the thread's window messages are dispatched, so
// that its windows repaint and answer, and owner is disabled (enabled again
// after). Its exit code goes to *exitCode. False when the process could not
// be created.
bool StartAndWait(WindowHandle owner, const char* program, const char* parameters, const char* folder,
                  uint32_t* exitCode);
// GetShortPathNameA of path, in place, with room for no more characters than
// path has; path stays as it was when there is no short form.
void ShortenPath(char* path);

// Milliseconds since some start, wrapping at 2^32 (GetTickCount).
uint32_t TickCount();

// --- The user's language ----------------------------------------------------
// A date value (days since 1899-12-30, the time of day as the fraction) as
// the user's long date and time, one blank between them, in UTF-8: the
// system's own formats and names (GetDateFormatW with DATE_LONGDATE and
// GetTimeFormatW, of LOCALE_USER_DEFAULT). Writes the text and a NUL, or
// the empty text when it does not fit room; returns its length.
unsigned DateTimeText(double value, char* text, unsigned room);

// --- Memory --------------------------------------------------------------
void* AllocateBlock(uint32_t size);   // 0 when it cannot be had
void ReleaseBlock(void* block);
