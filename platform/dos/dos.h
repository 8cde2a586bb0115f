// dos: files and DOS packets, argument parsing, pattern matching, formatted
// output, error codes and their texts, break signals and delays.
//
// Every failing call leaves a DOS error number in the calling task's IoErr;
// errno values are mapped to DOS numbers (ENOENT 205, EACCES 224, ...).
//
// Relies on: exec (a task carries IoErr; the file-system handler is a task
// that serves read packets on a port) and platform/testing (open, read and
// seek faults).
#pragma once

#include <cstdint>

#include "platform/exec/exec.h"

namespace os {

// ---- DOS error numbers -----------------------------------------------------
constexpr int32_t ERROR_NO_FREE_STORE = 103;
constexpr int32_t ERROR_TASK_TABLE_FULL = 105;
constexpr int32_t ERROR_BAD_TEMPLATE = 114;
constexpr int32_t ERROR_BAD_NUMBER = 115;
constexpr int32_t ERROR_REQUIRED_ARG_MISSING = 116;
constexpr int32_t ERROR_KEY_NEEDS_ARG = 117;
constexpr int32_t ERROR_TOO_MANY_ARGS = 118;
constexpr int32_t ERROR_UNMATCHED_QUOTES = 119;
constexpr int32_t ERROR_LINE_TOO_LONG = 120;
constexpr int32_t ERROR_FILE_NOT_OBJECT = 121;
constexpr int32_t ERROR_OBJECT_IN_USE = 202;
constexpr int32_t ERROR_OBJECT_EXISTS = 203;
constexpr int32_t ERROR_DIR_NOT_FOUND = 204;
constexpr int32_t ERROR_OBJECT_NOT_FOUND = 205;
constexpr int32_t ERROR_BAD_STREAM_NAME = 206;
constexpr int32_t ERROR_OBJECT_TOO_LARGE = 207;
constexpr int32_t ERROR_ACTION_NOT_KNOWN = 209;
constexpr int32_t ERROR_INVALID_COMPONENT_NAME = 210;
constexpr int32_t ERROR_INVALID_LOCK = 211;
constexpr int32_t ERROR_OBJECT_WRONG_TYPE = 212;
constexpr int32_t ERROR_DISK_NOT_VALIDATED = 213;
constexpr int32_t ERROR_DISK_WRITE_PROTECTED = 214;
constexpr int32_t ERROR_DEVICE_NOT_MOUNTED = 218;
constexpr int32_t ERROR_SEEK_ERROR = 219;
constexpr int32_t ERROR_DISK_FULL = 221;
constexpr int32_t ERROR_DELETE_PROTECTED = 222;
constexpr int32_t ERROR_WRITE_PROTECTED = 223;
constexpr int32_t ERROR_READ_PROTECTED = 224;
constexpr int32_t ERROR_NOT_A_DOS_DISK = 225;
constexpr int32_t ERROR_NO_DISK = 226;
constexpr int32_t ERROR_NO_MORE_ENTRIES = 232;
constexpr int32_t ERROR_IS_SOFT_LINK = 233;
constexpr int32_t ERROR_NOT_IMPLEMENTED = 236;
constexpr int32_t ERROR_BUFFER_OVERFLOW = 303;  // a path does not fit the caller's buffer
constexpr int32_t ERROR_BREAK = 304;

// ---- files -----------------------------------------------------------------
constexpr int32_t MODE_OLDFILE = 1005;
constexpr int32_t MODE_NEWFILE = 1006;
constexpr int32_t OFFSET_BEGINNING = -1;
constexpr int32_t OFFSET_CURRENT = 0;
constexpr int32_t OFFSET_END = 1;

struct FileHandle {
    MsgPort* fh_Type = nullptr;  // the file system's handler port; null: no I/O
    intptr_t fh_Arg1 = 0;        // the handler's own reference to the open file
    int fd = -1;                 // the platform's descriptor
};

FileHandle* Open(const char* name, int32_t mode);
int32_t Close(FileHandle* file);  // 0 = failure
int32_t Read(FileHandle* file, void* buffer, int32_t length);   // -1 on error
int32_t Write(FileHandle* file, const void* buffer, int32_t length);
// Returns the position before the move, -1 on failure with IoErr set.
int32_t Seek(FileHandle* file, int32_t position, int32_t mode);

int32_t IoErr();
int32_t SetIoErr(int32_t code);  // returns the previous code
int32_t ErrnoToDos(int error);

// ---- locks and directories -------------------------------------------------
constexpr int32_t SHARED_LOCK = -2;
constexpr int32_t ACCESS_READ = -2;

struct FileLock;  // a directory (or file) handle

FileLock* Lock(const char* name, int32_t mode);
void UnLock(FileLock* lock);           // null is ignored
FileLock* DupLock(FileLock* lock);
FileLock* ParentOfFH(FileHandle* file);
// Makes `lock` the calling process's current directory (null: the directory
// the process started in) and returns the previous one.
FileLock* CurrentDir(FileLock* lock);
// The lock's path, for messages and for building start messages.
bool NameFromLock(FileLock* lock, char* buffer, int32_t length);

struct InfoData {
    int32_t id_NumSoftErrors = 0;
    int32_t id_UnitNumber = 0;
    int32_t id_DiskState = 0;
    int32_t id_NumBlocks = 0;
    int32_t id_NumBlocksUsed = 0;
    int32_t id_BytesPerBlock = 0;  // what the file system reports; 0 when nothing
    int32_t id_DiskType = 0;
    void* id_VolumeNode = nullptr;
    int32_t id_InUse = 0;
};
// Nonzero on success.
int32_t Info(FileLock* lock, InfoData* info);

// ---- packets ---------------------------------------------------------------
constexpr int32_t ACTION_READ = 82;

struct DosPacket {
    Message* dp_Link = nullptr;
    MsgPort* dp_Port = nullptr;
    int32_t dp_Type = 0;
    int32_t dp_Res1 = 0;
    int32_t dp_Res2 = 0;
    intptr_t dp_Arg1 = 0;
    intptr_t dp_Arg2 = 0;
    intptr_t dp_Arg3 = 0;
};

struct StandardPacket {
    Message sp_Msg;
    DosPacket sp_Pkt;
};

// Queues the packet to the handler at `port`; the handler replies it to
// `replyPort` with dp_Res1/dp_Res2 set. The message's ln_Name points at the
// DosPacket and dp_Link back at the message. ACTION_READ: dp_Arg1 = fh_Arg1,
// dp_Arg2 = buffer, dp_Arg3 = length; dp_Res1 = bytes read, 0 at end of
// file, -1 on error with dp_Res2 the DOS error.
void SendPkt(DosPacket* packet, MsgPort* port, MsgPort* replyPort);

// For a task about to wait for the reply of a packet it sent to the file
// system's handler at `port`: when the handler has not taken the packet up
// yet, the calling task serves it itself, so the reply is on the reply port
// when this returns and no wait for the handler's turn is needed. A packet
// that the handler is serving or has served, or one sent to another port, is
// left alone. True when the packet was served here.
bool ServePktNow(DosPacket* packet, MsgPort* port);

// The system's retry requester for a failed transfer; there is no one to ask
// on Linux, so it always gives up (non-zero).
constexpr int32_t REPORT_STREAM = 0;
int32_t ErrorReport(int32_t code, int32_t type, FileHandle* file, MsgPort* port);

// ---- output ----------------------------------------------------------------
FileHandle* Output();
FileHandle* Input();
FileHandle* ErrorOutput();  // standard error, for IsInteractive
int32_t Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
int32_t FFlush(FileHandle* file);
// True when the handle is a terminal a person reads (not a pipe or a file).
bool IsInteractive(FileHandle* file);
// Writes "header: text" (or the text alone when header is null) for a DOS
// error number into buffer; returns the length.
int32_t Fault(int32_t code, const char* header, char* buffer, int32_t length);

// ---- breaks and time ---------------------------------------------------------
// Returns the bits of `mask` that are set in the calling task and clears them.
uint32_t CheckSignal(uint32_t mask);
void Delay(int32_t ticks);  // 1/50 s each
// SIGINT and SIGTERM raise Ctrl-C on the main task, SIGUSR1 raises Ctrl-F.
void InstallBreakHandlers();

// Characters converted (sign included), or -1 when the text does not start
// with a number.
int32_t StrToLong(const char* text, int32_t* value);

// ---- ReadArgs ----------------------------------------------------------------
struct RDArgs;

// The program's argument vector (without argv[0]), split as the shell split it.
void SetProgramArguments(int argc, const char* const* argv);

// Parses the program's arguments by `tmpl` into `array` (one slot per
// template item: /S nonzero, /N pointer to int32_t, /M null-terminated
// const char* array, other items const char*). Null on failure with IoErr.
// A lone "?" prints the template and reads the real arguments from stdin.
RDArgs* ReadArgs(const char* tmpl, intptr_t* array, RDArgs* args);
void FreeArgs(RDArgs* args);

// ---- pattern matching ------------------------------------------------------------
constexpr int32_t ST_FILE = -3;
constexpr int32_t ST_USERDIR = 2;

struct FileInfoBlock {
    int32_t fib_DiskKey = 0;
    int32_t fib_DirEntryType = 0;  // > 0 directory, < 0 file
    char fib_FileName[108] = {};
    int32_t fib_Protection = 0;
    int32_t fib_EntryType = 0;
    int64_t fib_Size = 0;
};

constexpr int8_t APB_DODIR = 2;
constexpr int8_t APB_DIDDIR = 3;
constexpr uint32_t APF_DODIR = 1u << APB_DODIR;    // 4
constexpr uint32_t APF_DIDDIR = 1u << APB_DIDDIR;  // 8

constexpr int32_t MATCH_PATH_SIZE = 512;

struct AnchorPath {
    void* ap_Private = nullptr;  // the matcher's state
    uint32_t ap_BreakBits = 0;
    uint32_t ap_FoundBreak = 0;
    uint32_t ap_Flags = 0;
    int16_t ap_Strlen = 0;  // size of ap_Buf the caller allows (at most 512)
    FileInfoBlock ap_Info;
    char ap_Buf[MATCH_PATH_SIZE] = {};
};

// 0 when a match is in the anchor; ERROR_NO_MORE_ENTRIES at the end;
// ERROR_BREAK when a bit of ap_BreakBits arrived; another DOS code on failure.
int32_t MatchFirst(const char* pattern, AnchorPath* anchor);
int32_t MatchNext(AnchorPath* anchor);
void MatchEnd(AnchorPath* anchor);

// The pattern language alone, for tests and for the requester's filter.
// Case-insensitive. True when the name matches.
bool MatchPatternNoCase(const char* pattern, const char* name);
bool HasWildcards(const char* pattern);

}  // namespace os
