// An IFF handle over bytes in memory, with a stream hook that logs what the
// parser asks of it and can be told to fail. Shared by the ilbm tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/iffparse/iffparse.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace lanterna::test_support {

using ilbmw::Bytes;

struct MemoryStream {
    Bytes data;
    int64_t pos = 0;
    int32_t readCalls = 0;
    int64_t bytesRead = 0;
    std::vector<int32_t> seeks;
    int32_t failReadCall = 0;  // 1-based read call that fails; 0 = none
    bool failSeeks = false;
};

inline int32_t MemoryHook(os::Hook* hook, os::IFFHandle*, os::IFFStreamCmd* cmd) {
    auto* m = static_cast<MemoryStream*>(hook->h_Data);
    if (cmd->sc_Command == os::IFFCMD_READ) {
        ++m->readCalls;
        if (m->readCalls == m->failReadCall) return 1;
        if (m->pos < 0 || m->pos + cmd->sc_NBytes > int64_t(m->data.size())) return 1;
        std::copy(m->data.begin() + m->pos, m->data.begin() + m->pos + cmd->sc_NBytes,
                  static_cast<uint8_t*>(cmd->sc_Buf));
        m->pos += cmd->sc_NBytes;
        m->bytesRead += cmd->sc_NBytes;
        return 0;
    }
    if (cmd->sc_Command == os::IFFCMD_SEEK) {
        if (m->failSeeks) return 1;
        m->seeks.push_back(cmd->sc_NBytes);
        m->pos += cmd->sc_NBytes;
        return m->pos < 0 ? 1 : 0;
    }
    return 0;
}

struct MemoryIff {
    MemoryStream stream;
    os::Hook hook{MemoryHook, nullptr, nullptr};
    os::IFFHandle* iff = nullptr;

    explicit MemoryIff(Bytes data, int32_t flags = os::IFFF_FSEEK | os::IFFF_RSEEK) {
        stream.data = std::move(data);
        hook.h_Data = &stream;
        iff = os::AllocIFF();
        os::InitIFF(iff, flags, &hook);
        EXPECT_EQ(os::OpenIFF(iff, os::IFFF_READ), 0);
    }
    ~MemoryIff() {
        os::CloseIFF(iff);
        os::FreeIFF(iff);
    }
    void Stop(const char* type, const char* id) {
        const int32_t pair[2] = {int32_t(os::MakeId(type[0], type[1], type[2], type[3])),
                                 int32_t(os::MakeId(id[0], id[1], id[2], id[3]))};
        ASSERT_EQ(os::StopChunks(iff, pair, 1), 0);
    }
    // "TYPE.ID:size" of the chunk the scan stops at, or the status as a number.
    std::string Next() {
        const int32_t r = os::ParseIFF(iff, os::IFFPARSE_SCAN);
        if (r != 0) return std::to_string(r);
        os::ContextNode* cn = os::CurrentChunk(iff);
        auto text = [](uint32_t v) {
            return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
        };
        return text(cn->cn_Type) + "." + text(cn->cn_ID) + ":" + std::to_string(cn->cn_Size);
    }
};

}  // namespace lanterna::test_support
