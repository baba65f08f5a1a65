#include "browser/devtools_messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vellamark {
namespace {

std::vector<std::string> Drain(DevToolsFrameSplitter& splitter) {
    std::vector<std::string> out;
    while (auto message = splitter.Next()) {
        out.push_back(*message);
    }
    return out;
}

TEST(DevToolsFrameSplitterTest, WholeMessagesWhateverTheChunks) {
    using namespace std::string_literals;
    struct Row {
        const char* name;
        std::vector<std::string> chunks;
        std::vector<std::string> messages;
        std::size_t pending;
    };
    const std::vector<Row> rows = {
        {"one frame", {"{\"id\":1}\0"s}, {"{\"id\":1}"}, 0},
        {"two frames in one read", {"{\"a\":1}\0{\"b\":2}\0"s}, {"{\"a\":1}", "{\"b\":2}"}, 0},
        {"frame split across reads",
         {"{\"a\"", ":1}\0{\"b"s, "\":2}\0"s},
         {"{\"a\":1}", "{\"b\":2}"},
         0},
        {"unfinished frame waits", {"{\"a\":1}\0{\"b\":"s}, {"{\"a\":1}"}, 5},
        {"the NUL alone in a read", {"{}", "\0"s}, {"{}"}, 0},
        {"empty frame", {"\0"s}, {""}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DevToolsFrameSplitter splitter;
        std::vector<std::string> got;
        for (const auto& chunk : row.chunks) {
            splitter.Append(chunk);
            for (auto& m : Drain(splitter)) {
                got.push_back(m);
            }
        }
        EXPECT_EQ(got, row.messages);
        EXPECT_EQ(splitter.Pending(), row.pending);
        EXPECT_FALSE(splitter.Overflowed());
    }
}

TEST(DevToolsFrameSplitterTest, EndlessMessageOverflows) {
    DevToolsFrameSplitter splitter;
    const std::string block(1024 * 1024, 'x');
    for (std::size_t i = 0; i <= DevToolsFrameSplitter::kMaxMessage / block.size(); ++i) {
        splitter.Append(block);
    }
    EXPECT_TRUE(splitter.Overflowed());
}

TEST(DevToolsMessageTest, ParsesRepliesAndEvents) {
    struct Row {
        const char* name;
        std::string text;
        DevToolsMessage::Kind kind;
        std::int64_t id;
        std::string method, session, error, body;
    };
    const std::vector<Row> rows = {
        {"reply", R"({"id":7,"result":{"windowId":3}})", DevToolsMessage::Kind::kReply, 7, "", "",
         "", R"({"windowId":3})"},
        {"reply on a session", R"({"id":8,"result":{},"sessionId":"S1"})",
         DevToolsMessage::Kind::kReply, 8, "", "S1", "", "{}"},
        {"error reply", R"({"id":9,"error":{"code":-32000,"message":"No target"}})",
         DevToolsMessage::Kind::kReply, 9, "", "", "No target", "{}"},
        {"error without message", R"({"id":9,"error":{}})", DevToolsMessage::Kind::kReply, 9, "",
         "", "unknown error", "{}"},
        {"event",
         R"({"method":"Page.frameStoppedLoading","params":{"frameId":"F"},"sessionId":"S"})",
         DevToolsMessage::Kind::kEvent, 0, "Page.frameStoppedLoading", "S", "",
         R"({"frameId":"F"})"},
        {"event without params", R"({"method":"Inspector.detached"})",
         DevToolsMessage::Kind::kEvent, 0, "Inspector.detached", "", "", "{}"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto m = ParseDevToolsMessage(row.text);
        ASSERT_TRUE(m.ok()) << m.error();
        EXPECT_EQ(m->kind, row.kind);
        EXPECT_EQ(m->id, row.id);
        EXPECT_EQ(m->method, row.method);
        EXPECT_EQ(m->sessionId, row.session);
        EXPECT_EQ(m->error, row.error);
        EXPECT_EQ(m->body, row.body);
    }
}

TEST(DevToolsMessageTest, RejectsWhatIsNoMessage) {
    for (const char* text : {"", "not json", "[1,2]", "42", R"({"id":"seven"})", R"({"params":{}})",
                             R"({"id":1,"sessionId":5})", "{\"id\":1"}) {
        SCOPED_TRACE(text);
        const auto m = ParseDevToolsMessage(text);
        EXPECT_FALSE(m.ok());
        EXPECT_FALSE(m.error().empty());
    }
}

TEST(DevToolsCommandTest, BuildsAFrameTheParserReadsBack) {
    struct Row {
        const char* name;
        std::string params, session, expected;
    };
    const std::vector<Row> rows = {
        {"browser command", R"({"discover":true})", "",
         R"({"id":3,"method":"Target.setDiscoverTargets","params":{"discover":true}})"},
        {"page command", "{}", "AB12",
         R"({"id":3,"method":"Target.setDiscoverTargets","sessionId":"AB12","params":{}})"},
        {"no params", "", "", R"({"id":3,"method":"Target.setDiscoverTargets","params":{}})"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto text = DevToolsCommand(3, "Target.setDiscoverTargets", row.params, row.session);
        EXPECT_EQ(text, row.expected);
        const auto frame = FrameDevToolsMessage(text);
        ASSERT_EQ(frame.back(), '\0');
        EXPECT_EQ(frame.find('\0'), frame.size() - 1);
    }
}

}  // namespace
}  // namespace vellamark
