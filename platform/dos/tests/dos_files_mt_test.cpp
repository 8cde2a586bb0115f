// DOS files, locks, the current directory and read packets served by the
// file-system handler thread.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/dos/dos.h"
#include "platform/testing/testing.h"

namespace {

using namespace os;

class DosFiles : public ::testing::Test {
protected:
    std::string dir;
    std::string file;
    std::vector<unsigned char> contents;

    void SetUp() override {
        char pattern[] = "/tmp/lanterna-dos-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        file = dir + "/picture.bin";
        contents.resize(50000);
        for (size_t i = 0; i < contents.size(); ++i) contents[i] = static_cast<unsigned char>(i * 7 + i / 251);
        FILE* f = std::fopen(file.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(contents.data(), 1, contents.size(), f), contents.size());
        std::fclose(f);
    }
    void TearDown() override {
        os::testing::ResetFaults();
        os::testing::SetBlockSizeOverride(0);
        std::remove(file.c_str());
        std::remove((dir + "/other").c_str());
        rmdir(dir.c_str());
    }
};

// The reply port the read-ahead stream builds: in place, on SIGB_SINGLE,
// PA_IGNORE except while it waits.
struct PacketReader {
    MsgPort port;
    StandardPacket packet;

    explicit PacketReader(FileHandle* file) {
        port.mp_Node.ln_Type = NT_MSGPORT;
        port.mp_Flags = PA_IGNORE;
        port.mp_SigBit = SIGB_SINGLE;
        port.mp_SigTask = FindTask(nullptr);
        NewList(&port.mp_MsgList);
        packet.sp_Msg.mn_Node.ln_Type = NT_MESSAGE;
        packet.sp_Msg.mn_Node.ln_Name = reinterpret_cast<char*>(&packet.sp_Pkt);
        packet.sp_Pkt.dp_Link = &packet.sp_Msg;
        packet.sp_Pkt.dp_Type = ACTION_READ;
        packet.sp_Pkt.dp_Arg1 = file->fh_Arg1;
    }
    void Send(MsgPort* handler, void* buffer, int32_t length) {
        packet.sp_Pkt.dp_Arg2 = reinterpret_cast<intptr_t>(buffer);
        packet.sp_Pkt.dp_Arg3 = length;
        SendPkt(&packet.sp_Pkt, handler, &port);
    }
    int32_t Collect() {
        port.mp_Flags = PA_SIGNAL;
        Message* m = WaitPort(&port);
        Remove(&m->mn_Node);
        port.mp_Flags = PA_IGNORE;
        return packet.sp_Pkt.dp_Res1;
    }
};

TEST_F(DosFiles, ReadPacketsDeliverTheFileAndLeaveThePositionAfterIt) {
    FileHandle* fh = Open(file.c_str(), MODE_OLDFILE);
    ASSERT_NE(fh, nullptr);
    ASSERT_NE(fh->fh_Type, nullptr);
    PacketReader reader(fh);
    SetSignal(0, SIGF_SINGLE);

    // Two buffers in turn, as read-ahead uses them: one is filled while the
    // other is checked.
    std::vector<unsigned char> buffers[2] = {std::vector<unsigned char>(4096),
                                             std::vector<unsigned char>(4096)};
    std::vector<unsigned char> got;
    int fill = 0;
    reader.Send(fh->fh_Type, buffers[fill].data(), 4096);
    for (;;) {
        const int32_t n = reader.Collect();
        ASSERT_GE(n, 0);
        EXPECT_EQ(Seek(fh, 0, OFFSET_CURRENT), static_cast<int32_t>(got.size()) + n);
        if (n == 0) break;
        const int arrived = fill;
        fill = 1 - fill;
        reader.Send(fh->fh_Type, buffers[fill].data(), 4096);
        got.insert(got.end(), buffers[arrived].begin(), buffers[arrived].begin() + n);
    }
    EXPECT_EQ(got, contents);
    EXPECT_EQ(reader.packet.sp_Pkt.dp_Res2, 0);
    EXPECT_EQ(reader.packet.sp_Msg.mn_Node.ln_Type, NT_REPLYMSG);
    // Close waits for nothing now; the reply port was only ever signalled
    // while it was set to PA_SIGNAL, and WaitPort took that signal.
    EXPECT_EQ(SetSignal(0, SIGF_SINGLE) & SIGF_SINGLE, 0u);
    EXPECT_NE(Close(fh), 0);
}

// A reader about to wait serves a packet that the handler has not taken up
// itself; which of the two serves it is a race, so the file is read many
// times over with small packets: every packet is served exactly once (one
// reply, nothing left on the reply port), with the right bytes in order,
// and a packet served here is replied before ServePktNow returns.
TEST_F(DosFiles, PacketsServedByTheWaitingTaskOrTheHandlerAreServedOnce) {
    FileHandle* fh = Open(file.c_str(), MODE_OLDFILE);
    ASSERT_NE(fh, nullptr);
    PacketReader reader(fh);
    SetSignal(0, SIGF_SINGLE);
    std::vector<unsigned char> buffer(257), got;
    int servedHere = 0;
    for (;;) {
        reader.Send(fh->fh_Type, buffer.data(), static_cast<int32_t>(buffer.size()));
        if (ServePktNow(&reader.packet.sp_Pkt, fh->fh_Type)) {
            ++servedHere;
            ASSERT_EQ(reader.packet.sp_Msg.mn_Node.ln_Type, NT_REPLYMSG);
        }
        const int32_t n = reader.Collect();
        ASSERT_GE(n, 0);
        ASSERT_EQ(GetMsg(&reader.port), nullptr) << "a packet was replied twice";
        // Served after its reply (by either side): nothing left to serve.
        EXPECT_FALSE(ServePktNow(&reader.packet.sp_Pkt, fh->fh_Type));
        if (n == 0) break;
        got.insert(got.end(), buffer.begin(), buffer.begin() + n);
    }
    EXPECT_EQ(got, contents);
    std::printf("%d of %zu packets served by the waiting task\n", servedHere, contents.size() / buffer.size() + 2);
    // A port that is not the file system's is never served from.
    MsgPort* other = CreateMsgPort();
    ASSERT_NE(other, nullptr);
    reader.Send(other, buffer.data(), 10);
    EXPECT_FALSE(ServePktNow(&reader.packet.sp_Pkt, other));
    EXPECT_EQ(GetMsg(other), &reader.packet.sp_Msg);
    DeleteMsgPort(other);
    SetSignal(0, SIGF_SINGLE);
    EXPECT_NE(Close(fh), 0);
}

TEST_F(DosFiles, IgnoringReplyPortIsNotSignalled) {
    FileHandle* fh = Open(file.c_str(), MODE_OLDFILE);
    ASSERT_NE(fh, nullptr);
    PacketReader reader(fh);
    SetSignal(0, SIGF_SINGLE);
    unsigned char buffer[100];
    reader.Send(fh->fh_Type, buffer, sizeof buffer);
    // Not waiting: the reply lands in the list without a signal.
    Message* m;
    while ((m = GetMsg(&reader.port)) == nullptr) std::this_thread::yield();
    EXPECT_EQ(m, &reader.packet.sp_Msg);
    EXPECT_EQ(SetSignal(0, 0) & SIGF_SINGLE, 0u);
    EXPECT_EQ(reader.packet.sp_Pkt.dp_Res1, 100);
    EXPECT_EQ(std::memcmp(buffer, contents.data(), 100), 0);
    EXPECT_NE(Close(fh), 0);
}

TEST_F(DosFiles, FailedReadPacketsCarryTheErrorAndReadingGoesOnAfterwards) {
    FileHandle* fh = Open(file.c_str(), MODE_OLDFILE);
    ASSERT_NE(fh, nullptr);
    PacketReader reader(fh);
    unsigned char buffer[1000];
    os::testing::FailNthRead(2);
    reader.Send(fh->fh_Type, buffer, sizeof buffer);
    EXPECT_EQ(reader.Collect(), 1000);
    reader.Send(fh->fh_Type, buffer, sizeof buffer);
    EXPECT_EQ(reader.Collect(), -1);
    EXPECT_EQ(reader.packet.sp_Pkt.dp_Res2, ERROR_DEVICE_NOT_MOUNTED);
    EXPECT_EQ(Seek(fh, 0, OFFSET_CURRENT), 1000);  // nothing was read
    reader.Send(fh->fh_Type, buffer, sizeof buffer);
    EXPECT_EQ(reader.Collect(), 1000);
    EXPECT_EQ(std::memcmp(buffer, contents.data() + 1000, 1000), 0);

    // A packet for a file the handler does not know, an unknown action, and
    // a packet to no handler at all are all answered, never lost.
    reader.packet.sp_Pkt.dp_Arg1 = 0;
    reader.Send(fh->fh_Type, buffer, sizeof buffer);
    EXPECT_EQ(reader.Collect(), -1);
    EXPECT_EQ(reader.packet.sp_Pkt.dp_Res2, ERROR_INVALID_LOCK);
    reader.packet.sp_Pkt.dp_Arg1 = fh->fh_Arg1;
    reader.packet.sp_Pkt.dp_Type = 1234;
    reader.Send(fh->fh_Type, buffer, sizeof buffer);
    EXPECT_EQ(reader.Collect(), 0);
    EXPECT_EQ(reader.packet.sp_Pkt.dp_Res2, ERROR_ACTION_NOT_KNOWN);
    reader.packet.sp_Pkt.dp_Type = ACTION_READ;
    reader.Send(nullptr, buffer, sizeof buffer);
    EXPECT_EQ(reader.Collect(), -1);
    EXPECT_NE(Close(fh), 0);
}

TEST_F(DosFiles, OpenReadSeekAndTheirErrors) {
    EXPECT_EQ(Open(dir.c_str(), MODE_OLDFILE), nullptr);
    EXPECT_EQ(IoErr(), ERROR_OBJECT_WRONG_TYPE);
    // A pipe without a writer is refused at once instead of hanging the open.
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Open(fifo.c_str(), MODE_OLDFILE), nullptr);
    EXPECT_EQ(IoErr(), ERROR_OBJECT_WRONG_TYPE);
    std::remove(fifo.c_str());
    EXPECT_EQ(Open((dir + "/missing").c_str(), MODE_OLDFILE), nullptr);
    EXPECT_EQ(IoErr(), ERROR_OBJECT_NOT_FOUND);

    FileHandle* fh = Open(file.c_str(), MODE_OLDFILE);
    ASSERT_NE(fh, nullptr);
    unsigned char buffer[64];
    EXPECT_EQ(Read(fh, buffer, 10), 10);
    EXPECT_EQ(Seek(fh, 100, OFFSET_CURRENT), 10);        // the old position
    EXPECT_EQ(Seek(fh, -5, OFFSET_END), 110);
    EXPECT_EQ(Read(fh, buffer, 64), 5);                   // short at the end
    EXPECT_EQ(std::memcmp(buffer, contents.data() + contents.size() - 5, 5), 0);
    EXPECT_EQ(Read(fh, buffer, 64), 0);
    EXPECT_EQ(Seek(fh, 3, OFFSET_BEGINNING), static_cast<int32_t>(contents.size()));
    EXPECT_EQ(Seek(fh, -10, OFFSET_CURRENT), -1);          // before the start
    EXPECT_EQ(IoErr(), ERROR_SEEK_ERROR);
    EXPECT_EQ(Seek(fh, 0, OFFSET_CURRENT), 3);             // unmoved by the failure
    EXPECT_EQ(Read(fh, buffer, -1), -1);

    os::testing::FailNthSeek(2);
    EXPECT_EQ(Seek(fh, 0, OFFSET_CURRENT), 3);
    EXPECT_EQ(Seek(fh, 0, OFFSET_CURRENT), -1);
    EXPECT_EQ(IoErr(), ERROR_SEEK_ERROR);
    EXPECT_EQ(Seek(fh, 0, OFFSET_CURRENT), 3);
    EXPECT_NE(Close(fh), 0);

    os::testing::FailNthOpen(1);
    EXPECT_EQ(Open(file.c_str(), MODE_OLDFILE), nullptr);
    EXPECT_EQ(IoErr(), ERROR_DEVICE_NOT_MOUNTED);
    fh = Open(file.c_str(), MODE_OLDFILE);
    EXPECT_NE(fh, nullptr);
    EXPECT_NE(Close(fh), 0);

    // A new file is written and read back.
    const std::string other = dir + "/other";
    fh = Open(other.c_str(), MODE_NEWFILE);
    ASSERT_NE(fh, nullptr);
    EXPECT_EQ(Write(fh, "ILBM", 4), 4);
    EXPECT_EQ(Seek(fh, 0, OFFSET_BEGINNING), 4);
    EXPECT_EQ(Read(fh, buffer, 64), 4);
    EXPECT_EQ(std::memcmp(buffer, "ILBM", 4), 0);
    EXPECT_NE(Close(fh), 0);
}

TEST_F(DosFiles, CurrentDirResolvesRelativeNamesAndIsRestored) {
    char before[512];
    ASSERT_TRUE(NameFromLock(nullptr, before, sizeof before));
    FileLock* lock = Lock(dir.c_str(), SHARED_LOCK);
    ASSERT_NE(lock, nullptr);
    FileLock* old = CurrentDir(lock);
    FileHandle* fh = Open("picture.bin", MODE_OLDFILE);
    EXPECT_NE(fh, nullptr);
    char here[512];
    EXPECT_TRUE(NameFromLock(nullptr, here, sizeof here));
    EXPECT_EQ(std::string(here), dir);

    // The file's parent is the directory it was opened in.
    FileLock* parent = ParentOfFH(fh);
    ASSERT_NE(parent, nullptr);
    char name[512];
    EXPECT_TRUE(NameFromLock(parent, name, sizeof name));
    EXPECT_EQ(std::string(name), dir);
    EXPECT_FALSE(NameFromLock(parent, name, 4));
    EXPECT_EQ(IoErr(), ERROR_LINE_TOO_LONG);
    FileLock* copy = DupLock(parent);
    ASSERT_NE(copy, nullptr);
    UnLock(parent);
    EXPECT_TRUE(NameFromLock(copy, name, sizeof name));
    EXPECT_EQ(std::string(name), dir);

    InfoData info;
    EXPECT_NE(Info(copy, &info), 0);
    EXPECT_GT(info.id_BytesPerBlock, 0);
    os::testing::SetBlockSizeOverride(2048);
    EXPECT_NE(Info(copy, &info), 0);
    EXPECT_EQ(info.id_BytesPerBlock, 2048);
    UnLock(copy);
    Close(fh);

    EXPECT_EQ(CurrentDir(old), lock);
    UnLock(lock);
    EXPECT_TRUE(NameFromLock(nullptr, here, sizeof here));
    EXPECT_STREQ(here, before);
    EXPECT_EQ(Open("picture.bin", MODE_OLDFILE), nullptr);
    EXPECT_EQ(IoErr(), ERROR_OBJECT_NOT_FOUND);
    EXPECT_EQ(Lock((dir + "/missing").c_str(), SHARED_LOCK), nullptr);
    EXPECT_EQ(IoErr(), ERROR_OBJECT_NOT_FOUND);
}

TEST(DosErrors, IoErrBelongsToEachTaskAndErrnoMapsToDosNumbers) {
    SetIoErr(ERROR_BREAK);
    std::thread other([] {
        EXPECT_EQ(IoErr(), 0);
        EXPECT_EQ(SetIoErr(ERROR_OBJECT_NOT_FOUND), 0);
    });
    other.join();
    EXPECT_EQ(SetIoErr(0), ERROR_BREAK);

    EXPECT_EQ(ErrnoToDos(0), 0);
    EXPECT_EQ(ErrnoToDos(ENOENT), ERROR_OBJECT_NOT_FOUND);
    EXPECT_EQ(ErrnoToDos(EISDIR), ERROR_OBJECT_WRONG_TYPE);
    EXPECT_EQ(ErrnoToDos(EACCES), ERROR_READ_PROTECTED);
    EXPECT_EQ(ErrnoToDos(ENOMEM), ERROR_NO_FREE_STORE);
    EXPECT_EQ(ErrnoToDos(ENOSPC), ERROR_DISK_FULL);
    EXPECT_EQ(ErrnoToDos(ESPIPE), ERROR_SEEK_ERROR);
    EXPECT_EQ(ErrnoToDos(EIO), ERROR_DEVICE_NOT_MOUNTED);
    EXPECT_NE(ErrorReport(ERROR_DEVICE_NOT_MOUNTED, REPORT_STREAM, nullptr, nullptr), 0);
}

}  // namespace
