// A window with nothing but its input port, and messages queued to it as
// the window would send them, for the tests of the window's input.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/exec/exec.h"
#include "platform/graphics/graphics.h"

namespace lanterna::test_support {

struct Input {
    uint32_t imClass;
    uint16_t code;
};

// The window, and the port the messages are replied to.
class QueuedWindowInput : public ::testing::Test {
protected:
    void SetUp() override {
        window_.UserPort = os::CreateMsgPort();
        replies_ = os::CreateMsgPort();
        ASSERT_NE(window_.UserPort, nullptr);
        ASSERT_NE(replies_, nullptr);
    }
    void TearDown() override {
        os::DeleteMsgPort(window_.UserPort);
        os::DeleteMsgPort(replies_);
    }

    void Queue(const std::vector<Input>& inputs) {
        messages_.assign(inputs.size(), os::IntuiMessage{});
        for (size_t i = 0; i < inputs.size(); ++i) {
            os::IntuiMessage& m = messages_[i];
            m.ExecMessage.mn_ReplyPort = replies_;
            m.Class = inputs[i].imClass;
            m.Code = inputs[i].code;
            m.IDCMPWindow = &window_;
            os::PutMsg(window_.UserPort, &m.ExecMessage);
        }
    }
    size_t TakeReplies() {
        size_t count = 0;
        while (os::GetMsg(replies_) != nullptr) {
            ++count;
        }
        return count;
    }

    os::Window window_;
    os::MsgPort* replies_ = nullptr;
    std::vector<os::IntuiMessage> messages_;
};

}  // namespace lanterna::test_support
