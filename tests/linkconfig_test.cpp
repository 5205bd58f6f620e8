// linkconfig run as the web server runs it: changes stored field by field while the receiver
// keeps writing its time words, refusals that write nothing, and the write before the post.
#include <gtest/gtest.h>
#include <json-c/json.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>

#include "call_log_run.h"
#include "default_config.h"
#include "fake_receiver.h"
#include "json_text.h"
#include "process.h"
#include "segments.h"
#include "time_words.h"

using namespace testsupport;

namespace {

using Json = std::unique_ptr<json_object, decltype(&json_object_put)>;

Json Parse(const std::string &text) {
    return {json_tokener_parse(text.c_str()), json_object_put};
}
json_object *At(json_object *object, const char *key) {
    json_object *value = nullptr;
    json_object_object_get_ex(object, key, &value);
    return value;
}
std::string Plain(json_object *value) {
    return json_object_to_json_string_ext(value, JSON_C_TO_STRING_PLAIN);
}

std::string Linkconfig(const std::string &body) {
    return ReplyBody(Post(LINKCONFIG_PATH, body));
}
std::string RevisionOf(int trans_id) {
    const Json read = Parse(Linkconfig(R"({"TransID":)" + std::to_string(trans_id) + "}"));
    return json_object_get_string(At(read.get(), "Revision"));
}
std::string Change(int trans_id, const std::string &revision, const std::string &members) {
    return R"({"TransID":)" + std::to_string(trans_id) + R"(,"Revision":")" + revision + "\"," + members + "}";
}

// Which record field each key a channel can change stores into, by grshm's field names; the
// offsets come from the records' rows. "Messages" names the stream whose message slots it
// stores into.
struct ChannelCase {
    int trans_id;
    unsigned char entry;
    std::map<std::string, std::string> fields;
};

const std::map<std::string, std::string> kNetworkFields = {
    {"RoleKind", "RoleKind"},           {"LocalPort", "LocalPort"}, {"RemoteIP", "ServerIP"},
    {"RemotePort", "ServerPort"},       {"Messages", "DSPara"},     {"DataStreamType", "DSPara.Switch.Type"},
    {"Startup", "DSPara.Switch.Enable"}};
const std::map<std::string, std::string> kServerFields = {{"CasterAddress", "CtrlPara.Domain"},
                                                          {"CasterPort", "CtrlPara.CasterPort"},
                                                          {"NtripVersion", "CtrlPara.Version"},
                                                          {"USR", "CtrlPara.UserName"},
                                                          {"PWD", "CtrlPara.UserPwd"},
                                                          {"MountPoint", "CtrlPara.MountPoint"},
                                                          {"Startup", "ServerDSPara.Switch.Enable"},
                                                          {"DataStreamType", "ServerDSPara.Switch.Type"},
                                                          {"Messages", "ServerDSPara"}};

std::map<std::string, std::string> WithoutRoleKind(std::map<std::string, std::string> fields) {
    fields.erase("RoleKind");
    return fields;
}

const ChannelCase kChannelCases[] = {
    {1,
     ENTRY_SP1_CONFIG,
     {{"BaudRate", "Baudrate"},
      {"Check", "Verify"},
      {"DataStreamType", "COMDSPara.Switch.Type"},
      {"Messages", "COMDSPara"},
      {"Startup", "COMDSPara.Switch.Enable"}}},
    {3, ENTRY_TCP1_CONFIG, kNetworkFields},
    {4, ENTRY_TCP2_CONFIG, kNetworkFields},
    {5, ENTRY_NS1_CONFIG, kServerFields},
    {6,
     ENTRY_NC_CONFIG,
     {{"CasterAddress", "Domain"},
      {"CasterPort", "ServerPort"},
      {"USR", "UserName"},
      {"PWD", "UserPwd"},
      {"MountPoint", "MountPoint"},
      {"Startup", "ClientEnable"}}},
    {7,
     ENTRY_RADIO_CONFIG,
     {{"Model", "model"},
      {"RoleKind", "mode"},
      {"Channel", "channel"},
      {"RXFREQ", "rx_freq"},
      {"TXFREQ", "tx_freq"},
      {"Protocol", "protocol"},
      {"ABR", "air_baudrate"},
      {"Power", "power"},
      {"FEC", "fec"},
      {"DataStreamType", "RadioDSPara.Switch.Type"},
      {"Messages", "RadioDSPara"},
      {"Startup", "sw"}}},
    {8, ENTRY_NA_CONFIG, {{"CasterPort", "port"}, {"USR", "usr_name"}, {"PWD", "pwd"}, {"Startup", "enable"}}},
    {9, ENTRY_NS2_CONFIG, kServerFields},
    {10, ENTRY_UDP_CONFIG, WithoutRoleKind(kNetworkFields)},  // always a client
};

// The field at a dotted path of a record's rows, as offset, size and (for an object) rows.
grshm::Member FieldAt(grshm::Layout rows, const std::string &path) {
    const std::string name = path.substr(0, path.find('.'));
    for (const grshm::Member &field : rows) {
        if (name != field.name) continue;
        if (name == path) return field;
        grshm::Member inner = FieldAt(field.rows, path.substr(name.size() + 1));
        inner.offset += field.offset;
        return inner;
    }
    ADD_FAILURE() << "no field " << path;
    return {};
}

// The bytes a key may change: its field, or for "Messages" every slot's Interval and
// Available byte of the stream (never MsgID or time).
std::vector<bool> MayChange(const ChannelCase &channel, const std::vector<std::string> &keys) {
    const grshm::EntrySpan span = grshm::kConfigTable[channel.entry];
    grshm::Layout rows;
    for (const grshm::EntryRow &row : grshm::kConfigRows)
        if (row.entry == channel.entry) rows = row.member.rows;
    std::vector<bool> may(sizeof(ReceiverConfigPara), false);
    for (const std::string &key : keys) {
        const grshm::Member field = FieldAt(rows, channel.fields.at(key));
        if (key != "Messages") {
            for (std::size_t i = 0; i < field.size; ++i) may[span.offset + field.offset + i] = true;
            continue;
        }
        for (const grshm::Member &list : field.rows) {
            if (list.kind != grshm::Kind::Array) continue;
            for (std::size_t n = 0; n < list.count; ++n) {
                const std::size_t slot = span.offset + field.offset + list.offset + n * list.stride;
                may[slot + offsetof(MsgCfgPara, Interval)] = may[slot + offsetof(MsgCfgPara, Available)] = true;
            }
        }
    }
    return may;
}

std::string RandomText(std::mt19937 &rng, std::size_t longest) {
    std::string text(rng() % (std::min<std::size_t>(longest, 12) + 1), ' ');
    for (char &c : text) c = static_cast<char>(0x20 + rng() % 95);  // any printable, quotes and backslashes too
    return text;
}

// The describe reply's row of a channel's key.
json_object *Described(json_object *describe, int trans_id, const std::string &key) {
    json_object *channels = At(describe, "Channels");
    for (std::size_t i = 0; i < json_object_array_length(channels); ++i) {
        json_object *channel = json_object_array_get_idx(channels, i);
        if (json_object_get_int(At(channel, "TransID")) != trans_id) continue;
        json_object *keys = At(channel, "Keys");
        for (std::size_t k = 0; k < json_object_array_length(keys); ++k)
            if (key == json_object_get_string(At(json_object_array_get_idx(keys, k), "Key")))
                return json_object_array_get_idx(keys, k);
    }
    return nullptr;
}

// A value the key's described rule takes, as a page would send it.
json_object *RandomValue(json_object *rule, json_object *current, std::mt19937 &rng) {
    auto pick = [&rng](long long low, long long high) {
        return low + static_cast<long long>(rng() % static_cast<unsigned long long>(high - low + 1));
    };
    const std::string type = json_object_get_string(At(rule, "Type"));
    if (type == "Flag") return json_object_new_boolean(pick(0, 1) != 0);
    if (type == "Choice") {
        json_object *choices = At(rule, "Choices");
        return json_object_get(
            At(json_object_array_get_idx(choices, rng() % json_object_array_length(choices)), "Value"));
    }
    const double min = json_object_get_double(At(rule, "Min")), max = json_object_get_double(At(rule, "Max"));
    if (type == "Number") return json_object_new_int64(pick(static_cast<long long>(min), static_cast<long long>(max)));
    if (type == "Decimal") {
        const double step = json_object_get_double(At(rule, "Step"));
        const double raster = min + static_cast<double>(pick(0, static_cast<long long>((max - min) / step))) * step;
        return json_object_new_double(static_cast<float>(raster));  // as the float shows it
    }
    if (type == "Address")
        return json_object_new_string((std::to_string(pick(0, 255)) + "." + std::to_string(pick(0, 255)) + "." +
                                       std::to_string(pick(0, 255)) + "." + std::to_string(pick(0, 255)))
                                          .c_str());
    if (type == "Text")
        return json_object_new_string(RandomText(rng, json_object_get_int(At(rule, "MaxLength"))).c_str());
    EXPECT_EQ(type, "Messages");
    json_object *messages = json_tokener_parse(json_object_to_json_string(current));
    json_object *lists = At(rule, "Lists");
    for (int changes = 0; changes < 4; ++changes) {
        const std::size_t index = rng() % json_object_array_length(messages);
        json_object *list = json_object_array_get_idx(messages, index);
        json_object *list_rule = json_object_array_get_idx(lists, index);
        if (At(list_rule, "Min") == nullptr) continue;  // a list without items
        json_object *item = json_object_array_get_idx(list, rng() % json_object_array_length(list));
        json_object_object_add(item, "Interval",
                               json_object_new_int64(pick(json_object_get_int(At(list_rule, "Min")),
                                                          json_object_get_int(At(list_rule, "Max")))));
    }
    return messages;
}

json_object *ReportedChannel(json_object *report, int trans_id) {
    json_object *channels = At(report, "DataTrans");
    for (std::size_t i = 0; i < json_object_array_length(channels); ++i)
        if (json_object_get_int(At(json_object_array_get_idx(channels, i), "TransID")) == trans_id)
            return json_object_array_get_idx(channels, i);
    return nullptr;
}

unsigned int TimeWord(const std::vector<unsigned char> &bytes, std::size_t offset) {
    unsigned int word = 0;
    std::memcpy(&word, &bytes[offset], 4);
    return word;
}

struct LoggedRun {
    std::string reply;
    std::vector<std::string> calls;
    std::vector<int> taken;
};

// Runs linkconfig with the call log preloaded, beside a receiver that takes its posts (with a
// stamp: beside the running stand-in, which writes that time word just before the update).
LoggedRun RunLogged(const std::string &body, const std::string &fail_call = "", const std::string &stamp = "") {
    if (!stamp.empty()) {  // beside the real stand-in, which takes the posts
        CallLogRun run = RunWithCallLog(LINKCONFIG_PATH, body, fail_call, {{"GRSHM_STAMP_BEFORE_UPDATE", stamp}});
        return {ReplyBody(run.result), std::move(run.calls), {}};
    }
    FakeReceiver receiver({});
    CallLogRun run = RunWithCallLog(LINKCONFIG_PATH, body, fail_call);
    return {ReplyBody(run.result), std::move(run.calls), Codes(receiver.Stop())};
}

// The time words the receiver writes (GRSHM_STAMP_BEFORE_UPDATE) while a change is on its way.
const std::size_t kStampedDuringUpdate[] = {
    offsetof(ReceiverConfigPara, TCP1.TCPDSPara.Binex[11].time),
    offsetof(ReceiverConfigPara, TCP2.TCPDSPara.Binex[11].time),
    offsetof(ReceiverConfigPara, UDP.UDPDSPara.Binex[11].time),
    offsetof(ReceiverConfigPara, NS1.ServerDSPara.Custom[11].time),
    offsetof(ReceiverConfigPara, NS2.ServerDSPara.Custom[11].time),
    offsetof(ReceiverConfigPara, RADIO.RadioDSPara.Custom[11].time),
};

class LinkConfig : public testing::Test {
 protected:
    void SetUp() override {
        ASSERT_EQ(InitShareMemory(), 0);
        receiversim::WriteConfiguration(receiversim::DefaultConfiguration());
    }
};

}  // namespace

// Random valid changes (seeded) to every channel while the receiver stand-in writes its time
// words every 10 ms: each is stored at the first try, linkconfig and linkreport then show
// exactly them, no byte outside their fields changed, and no time word went back.
TEST_F(LinkConfig, RandomChangesToEveryChannelRoundTrip) {
    const pid_t stand_in = Spawn([] {
        if (std::freopen("/dev/null", "w", stderr) == nullptr) return 126;  // its log of each operation
        std::vector<std::string> argv = WithEmulator({RECEIVERSIM_PATH, "--tick-ms", "10"});
        std::vector<char *> args;
        for (std::string &arg : argv) args.push_back(arg.data());
        args.push_back(nullptr);
        execv(args[0], args.data());
        return 127;
    });
    const std::size_t stamped = offsetof(ReceiverConfigPara, NS1.ServerDSPara.RTCM32[0].time);
    for (int waited = 0; TimeWord(ConfigBytes(), stamped) == 0 && waited < 20000; waited += 10) usleep(10 * 1000);
    ASSERT_NE(TimeWord(ConfigBytes(), stamped), 0u) << "the stand-in writes no time words";

    const Json describe = Parse(Linkconfig(R"({"Describe":true})"));
    std::mt19937 rng(20261208);
    for (int round = 0; round < 3; ++round) {
        for (const ChannelCase &channel : kChannelCases) {
            SCOPED_TRACE("TransID " + std::to_string(channel.trans_id) + ", round " + std::to_string(round));
            const Json read = Parse(Linkconfig(R"({"TransID":)" + std::to_string(channel.trans_id) + "}"));
            json_object *shown = At(read.get(), "Channel");
            ASSERT_NE(shown, nullptr);
            const Json expected = Parse(json_object_to_json_string(shown));
            const Json request = Parse(R"({"TransID":)" + std::to_string(channel.trans_id) + "}");
            json_object_object_add(request.get(), "Revision", json_object_get(At(read.get(), "Revision")));
            std::vector<std::string> keys;
            for (const auto &[key, field] : channel.fields)
                if (rng() % 2 == 0 || (keys.empty() && key == "Startup")) {
                    json_object *rule = Described(describe.get(), channel.trans_id, key);
                    ASSERT_NE(rule, nullptr) << key << " is not described";
                    json_object *value = RandomValue(rule, At(shown, key.c_str()), rng);
                    json_object_object_add(request.get(), key.c_str(), json_object_get(value));
                    json_object_object_add(expected.get(), key.c_str(), value);
                    keys.push_back(key);
                }
            if (At(expected.get(), "Status") != nullptr)
                json_object_object_add(
                    expected.get(), "Status",
                    json_object_new_string(json_object_get_boolean(At(expected.get(), "Startup")) ? "Connect"
                                                                                                  : "Disconnect"));

            const std::vector<unsigned char> before = ConfigBytes();
            const unsigned int stamp = 4000000000u + static_cast<unsigned>(round * 16 + channel.trans_id);
            const Json reply = Parse(RunLogged(Plain(request.get()), "", std::to_string(stamp)).reply);
            const std::vector<unsigned char> after = ConfigBytes();
            if (!json_object_equal(expected.get(), shown)) {  // else nothing is stored: no update to stamp before
                for (const std::size_t offset : kStampedDuringUpdate)
                    EXPECT_EQ(TimeWord(after, offset), stamp) << "time word at " << offset << " went back";
            }
            ASSERT_STREQ(json_object_get_string(At(reply.get(), "Res")), "Success") << Plain(reply.get());
            EXPECT_TRUE(json_object_equal(At(reply.get(), "Channel"), expected.get()))
                << Plain(At(reply.get(), "Channel")) << "\nexpected " << Plain(expected.get());
            const Json report = Parse(ReplyBody(Post(LINKREPORT_PATH, "{}")));
            EXPECT_TRUE(json_object_equal(ReportedChannel(report.get(), channel.trans_id), expected.get()));

            const std::vector<bool> may = MayChange(channel, keys);
            std::vector<bool> time_word(before.size(), false);
            for (const std::size_t offset : TimeWordOffsets()) {
                EXPECT_GE(TimeWord(after, offset), TimeWord(before, offset))
                    << "time word at " << offset << " went back";
                for (int i = 0; i < 4; ++i) time_word[offset + i] = true;
            }
            for (std::size_t i = 0; i < before.size(); ++i)
                if (before[i] != after[i] && !may[i] && !time_word[i]) ADD_FAILURE() << "byte " << i << " changed";
        }
    }
    kill(stand_in, SIGTERM);
    EXPECT_EQ(WaitChild(stand_in), 0);
}

// Each bad value, key or revision is answered with what is wrong, and no segment changes.
TEST_F(LinkConfig, RefusalsNameTheKeyAndWriteNothing) {
    const std::string r5 = RevisionOf(5), r1 = RevisionOf(1), r3 = RevisionOf(3), r6 = RevisionOf(6),
                      r7 = RevisionOf(7), r10 = RevisionOf(10);
    // NTRIP server 1's messages, with one interval past its byte, and with two items swapped.
    const Json server = Parse(Linkconfig(R"({"TransID":5})"));
    std::string messages = Plain(At(At(server.get(), "Channel"), "Messages"));
    const std::string first = R"({"ID":1,"Name":"1005B","Interval":10})";
    ASSERT_NE(messages.find(first), std::string::npos) << messages;
    std::string too_long = messages, renamed = messages, several_59 = messages, several_42 = messages;
    too_long.replace(too_long.find(first), first.size(), R"({"ID":1,"Name":"1005B","Interval":128})");
    renamed.replace(renamed.find(first), first.size(), R"({"ID":1,"Name":"1006B","Interval":10})");
    // Items that stand for several slots take only 0 or 1 (off, or all on).
    const std::string item_59 = R"({"ID":5,"Name":"59B","Interval":0})",
                      item_42 = R"({"ID":6,"Name":"42B","Interval":0})";
    ASSERT_NE(messages.find(item_59), std::string::npos) << messages;
    several_59.replace(several_59.find(item_59), item_59.size(), R"({"ID":5,"Name":"59B","Interval":2})");
    several_42.replace(several_42.find(item_42), item_42.size(), R"({"ID":6,"Name":"42B","Interval":255})");
    const std::string mount33(33, 'M');
    const std::pair<std::string, std::string> refusals[] = {
        {Change(5, r5, R"("CasterPort":0)"), "CasterPort must be a whole number from 1 to 65535"},
        {Change(5, r5, R"("CasterPort":65536)"), "CasterPort must be a whole number from 1 to 65535"},
        {Change(5, r5, R"("CasterPort":"2101")"), "CasterPort must be a whole number from 1 to 65535"},
        {Change(5, r5, R"("NtripVersion":3)"), "NtripVersion must be 1 (NTRIP 1.0) or 2 (NTRIP 2.0)"},
        {Change(5, r5, "\"MountPoint\":\"" + mount33 + "\""),
         "MountPoint must be a text of at most 32 printable ASCII characters (no control characters)"},
        {Change(5, r5, R"("USR":"a\u0007b")"),
         "USR must be a text of at most 16 printable ASCII characters (no control characters)"},
        {Change(5, r5, R"("PWD":"gr\u00fcn")"),
         "PWD must be a text of at most 16 printable ASCII characters (no control characters)"},
        {Change(5, r5, R"("DataStreamType":2)"),
         "DataStreamType must be 3 (RTCM 2.3), 4 (RTCM 3.0), 5 (RTCM 3.2) or 6 (CMR)"},
        {Change(1, r1, R"("DataStreamType":9)"),
         "DataStreamType must be 1 (Raw observations), 2 (NMEA), 3 (RTCM 2.3), 4 (RTCM 3.0), 5 (RTCM 3.2), 6 (CMR), 7 "
         "(BINEX) or 8 (Custom)"},
        {Change(5, r5, R"("Startup":1)"), "Startup must be true or false"},
        {Change(3, r3, R"("RemoteIP":"192.168.1")"), "RemoteIP must be a dotted IPv4 address such as 192.168.1.10"},
        {Change(10, r10, R"("RemoteIP":"10.0.0.256")"), "RemoteIP must be a dotted IPv4 address such as 192.168.1.10"},
        {Change(3, r3, R"("RoleKind":2)"), "RoleKind must be 0 (server) or 1 (client)"},
        {Change(7, r7, R"("RXFREQ":1e39)"), "RXFREQ must be a number from 410 to 470 MHz in steps of 0.00625"},
        {Change(7, r7, R"("RXFREQ":-1)"), "RXFREQ must be a number from 410 to 470 MHz in steps of 0.00625"},
        {Change(7, r7, R"("TXFREQ":-450)"), "TXFREQ must be a number from 410 to 470 MHz in steps of 0.00625"},
        {Change(7, r7, R"("Model":5)"), "Model must be 1 (MV-TX), 2 (PN-WAVE), 3 (7731K) or 4 (T3 or T8)"},
        {Change(7, r7, R"("Power":256)"), "Power must be 0 (low, 0.5 W), 1 (medium, 1 W) or 2 (high, 2 W)"},
        // What the bytes hold is not what a receiver can use.
        {Change(1, r1, R"("BaudRate":7)"),
         "BaudRate must be 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800 or 921600"},
        {Change(1, r1, R"("Check":7)"), "Check must be 0 (none), 1 (odd) or 2 (even)"},
        {Change(7, r7, R"("Power":255)"), "Power must be 0 (low, 0.5 W), 1 (medium, 1 W) or 2 (high, 2 W)"},
        {Change(7, r7, R"("Protocol":255)"),
         "Protocol must be 0 (Transparent), 1 (TrimTalk 450S), 2 (SATEL 3AS), 3 (PCC EOT), 4 (TrimMark 3) or 5 "
         "(South)"},
        {Change(7, r7, R"("RXFREQ":3.4e38)"), "RXFREQ must be a number from 410 to 470 MHz in steps of 0.00625"},
        {Change(7, r7, R"("TXFREQ":463.126)"), "TXFREQ must be a number from 410 to 470 MHz in steps of 0.00625"},
        {Change(7, r7, R"("Channel":100)"), "Channel must be a whole number from 0 to 99"},
        {Change(4, RevisionOf(4), R"("RemotePort":0)"), "RemotePort must be a whole number from 1 to 65535"},
        {Change(5, r5, "\"Messages\":" + too_long),
         "Messages: Interval of 1005B (list 3 item 1) must be a whole number from -128 to 127"},
        {Change(5, r5, "\"Messages\":" + several_59),
         "Messages: Interval of 59B (list 1 item 5) must be a whole number from 0 to 1"},
        {Change(5, r5, "\"Messages\":" + several_42),
         "Messages: Interval of 42B (list 1 item 6) must be a whole number from 0 to 1"},
        {Change(5, r5, "\"Messages\":" + renamed),
         "Messages must have the lists linkreport shows, with only Interval values changed: list 3 item 1 is "
         "{\"ID\": 1, \"Name\": \"1005B\", \"Interval\": ...}"},
        {Change(5, r5, R"("Foo":1)"), "unknown key Foo for NTRIP server 1"},
        {Change(3, r3, R"("TCPID":2)"), "TCPID is 1 for TCP channel 1 and cannot be changed"},
        {Change(10, r10, R"("RoleKind":1)"), "RoleKind is 0 for the UDP channel and cannot be changed"},
        {Change(5, r5, R"("Status":"Disconnect")"), "Status follows Startup: set Startup to connect or disconnect"},
        {Change(5, r5, R"("MSM":5)"), "MSM follows the RTCM 3.2 messages that are on, and cannot be set"},
        {Change(6, r6, R"("NtripVersion":1)"),
         "NtripVersion of the NTRIP client follows NTRIP server 1: change it there"},
        {Change(5, r5, R"("MountPoint":"NEW","CasterPort":0)"), "CasterPort must be a whole number from 1 to 65535"},
        {R"({"TransID":5,"MountPoint":"NEW"})",
         "Revision must be sent as a read of the channel gave it, to change the channel"},
        {R"({"TransID":2})", "TransID must be one of 1, 3, 4, 5, 6, 7, 8, 9 or 10"},
        {R"(["TransID",5])", "the request must be a JSON object naming a channel by TransID"},
    };
    const auto config = ConfigBytes(), monitor = MonitorBytes(), gnss = GnssBytes();
    for (const auto &[body, error] : refusals)
        EXPECT_EQ(Linkconfig(body), R"({ "Res": "Failed", "Error": )" + Str(error) + " }") << body;
    EXPECT_EQ(
        Linkconfig(Change(5, "0123456789abcdef", R"("MountPoint":"NEW")")),
        R"({ "Res": "Conflict", "Error": "someone else changed NTRIP server 1: reload it and make the change again" })");
    EXPECT_TRUE(ConfigBytes() == config && MonitorBytes() == monitor && GnssBytes() == gnss);
}

// Another client changed a message interval since this one read the channel: the change sent
// with the older Revision is refused, and the other client's change stays.
TEST_F(LinkConfig, AChangeWithTheRevisionReadBeforeAnotherClientsIsAConflict) {
    const std::string read_before = RevisionOf(5);
    const Json server = Parse(Linkconfig(R"({"TransID":5})"));
    const std::string messages = Plain(At(At(server.get(), "Channel"), "Messages"));
    const std::string first = R"({"ID":1,"Name":"1005B","Interval":10})";
    ASSERT_NE(messages.find(first), std::string::npos) << messages;
    std::string other = messages;
    other.replace(other.find(first), first.size(), R"({"ID":1,"Name":"1005B","Interval":5})");
    const std::string stored = RunLogged(Change(5, read_before, "\"Messages\":" + other)).reply;
    ASSERT_EQ(stored.rfind(R"({ "Res": "Success", )", 0), 0u) << stored;
    const auto config = ConfigBytes();
    EXPECT_EQ(
        RunLogged(Change(5, read_before, "\"Messages\":" + messages)).reply,
        R"({ "Res": "Conflict", "Error": "someone else changed NTRIP server 1: reload it and make the change again" })");
    EXPECT_TRUE(ConfigBytes() == config);
}

// Every channel's change is written before the operation that names its entry is posted; a
// write that fails posts nothing, and a post that fails says so (the change stays stored).
TEST_F(LinkConfig, TheChangeIsWrittenThenItsEntrysOperationPosted) {
    const std::pair<int, std::vector<std::string>> channels[] = {
        {1, {"config 44", "post 29"}}, {3, {"config 46", "post 31"}}, {4, {"config 47", "post 32"}},
        {5, {"config 50", "post 59"}}, {6, {"config 48", "post 61"}}, {7, {"config 57", "post 57"}},
        {8, {"config 63", "post 67"}}, {9, {"config 52", "post 60"}}, {10, {"config 102", "post 77"}},
    };
    for (const auto &[trans_id, calls] : channels) {
        const Json read = Parse(Linkconfig(R"({"TransID":)" + std::to_string(trans_id) + "}"));
        const bool on = json_object_get_boolean(At(At(read.get(), "Channel"), "Startup"));
        const LoggedRun run = RunLogged(Change(trans_id, json_object_get_string(At(read.get(), "Revision")),
                                               on ? R"("Startup":false)" : R"("Startup":true)"));
        EXPECT_EQ(run.reply.rfind(R"({ "Res": "Success", "Channel": { "TransID": )" + std::to_string(trans_id), 0), 0u)
            << run.reply;
        EXPECT_EQ(run.calls, calls) << trans_id;
        EXPECT_EQ(run.taken, std::vector<int>{std::stoi(calls[1].substr(5))});
    }

    const LoggedRun unstored = RunLogged(Change(5, RevisionOf(5), R"("Startup":true)"), "config 50");
    EXPECT_EQ(unstored.reply,
              R"({ "Res": "Failed", "Error": "nothing was stored: the configuration segment's lock was not free" })");
    EXPECT_EQ(unstored.calls, std::vector<std::string>{"config 50"});
    const LoggedRun unposted = RunLogged(Change(5, RevisionOf(5), R"("Startup":true)"), "post 59");
    EXPECT_EQ(unposted.reply.rfind(R"({ "Res": "Failed", "Error": "the change is stored, but )", 0), 0u)
        << unposted.reply;
    EXPECT_NE(Linkconfig(R"({"TransID":5})").find(R"("Startup": true)"), std::string::npos);
}

// The describe reply against what the program takes: the keys described as changeable are
// exactly those a channel stores, each answers a value of no kind it takes with its described
// "Error", and each key described as fixed answers another value with its described "Error".
// (The random changes above send only values the described rules take.) Its "Version" is the
// same from one reply to the next, and it changes nothing.
TEST_F(LinkConfig, TheDescriptionIsWhatTheProgramTakes) {
    const auto config = ConfigBytes(), monitor = MonitorBytes();
    const std::string text = Linkconfig(R"({"Describe":true})");
    EXPECT_EQ(Linkconfig(R"({"Describe":true})"), text);
    const Json describe = Parse(text);
    ASSERT_STREQ(json_object_get_string(At(describe.get(), "Res")), "Success") << text;
    EXPECT_EQ(json_object_get_string_len(At(describe.get(), "Version")), 16);
    json_object *channels = At(describe.get(), "Channels");
    ASSERT_EQ(json_object_array_length(channels), std::size(kChannelCases));
    for (std::size_t i = 0; i < std::size(kChannelCases); ++i) {
        const ChannelCase &channel = kChannelCases[i];
        json_object *described = json_object_array_get_idx(channels, i);
        EXPECT_EQ(json_object_get_int(At(described, "TransID")), channel.trans_id);
        json_object *keys = At(described, "Keys");
        std::set<std::string> changeable;
        const std::string revision = RevisionOf(channel.trans_id);
        for (std::size_t k = 0; k < json_object_array_length(keys); ++k) {
            json_object *row = json_object_array_get_idx(keys, k);
            const std::string key = json_object_get_string(At(row, "Key"));
            SCOPED_TRACE("TransID " + std::to_string(channel.trans_id) + " " + key);
            const bool can = json_object_get_boolean(At(row, "Changeable"));
            if (can) changeable.insert(key);
            if (key == "Messages") continue;  // its refusals say which list and item
            const std::string sent = can ? "null" : R"("another")";
            EXPECT_EQ(Linkconfig(Change(channel.trans_id, revision, "\"" + key + "\":" + sent)),
                      R"({ "Res": "Failed", "Error": )" + Str(json_object_get_string(At(row, "Error"))) + " }");
        }
        std::set<std::string> stored;
        for (const auto &[key, field] : channel.fields) stored.insert(key);
        EXPECT_EQ(changeable, stored) << channel.trans_id;
    }
    EXPECT_TRUE(ConfigBytes() == config && MonitorBytes() == monitor);
}

// The request is read whole and as strict JSON, naming each key once; anything else is
// refused before anything is read or written (json-c alone would take the last of two keys,
// leading zeros, NaN and single quotes, and a body cut at the limit).
TEST_F(LinkConfig, RequestsAreReadWholeStrictAndWithEachKeyOnce) {
    const std::string r3 = RevisionOf(3), r5 = RevisionOf(5);
    const std::string big = R"({"TransID":5,"USR":")" + std::string(16400, 'x') + R"("})";
    const std::pair<std::string, std::string> refusals[] = {
        {R"({"TransID":5,"TransID":3})", "the request names TransID twice"},
        {R"({"TransID":3,"Revision":")" + r3 + R"(","Startup":true,"TransID":5})", "the request names TransID twice"},
        {R"({"TransID":5,"Trans\u0049D":3})", "the request names TransID twice"},
        {Change(3, r3, R"("Startup":false,"Startup":true)"), "the request names Startup twice"},
        {Change(5, r5, R"("Messages":[[{"ID":1,"ID":2}]])"), "the request names ID twice"},
        {Change(5, r5, R"("CasterPort":00002101)"), "the request must be strict JSON: number expected"},
        {R"({"TransID":5,})", "the request must be strict JSON: unexpected character"},
        {R"({"TransID":5} {})", "the request must be strict JSON: unexpected character"},
        {R"({'TransID':5})", "the request must be strict JSON: it is not JSON's own text"},
        {Change(7, RevisionOf(7), R"("RXFREQ":NaN)"), "the request must be strict JSON: it is not JSON's own text"},
        {R"({"TransID":5)", "the request must be strict JSON: unexpected end of data"},
        {big, "the request holds 16422 characters: at most 16384 are taken"},
    };
    const auto config = ConfigBytes(), monitor = MonitorBytes();
    for (const auto &[body, error] : refusals)
        EXPECT_EQ(Linkconfig(body), R"({ "Res": "Failed", "Error": )" + Str(error) + " }") << body.substr(0, 80);
    EXPECT_TRUE(ConfigBytes() == config && MonitorBytes() == monitor);
    // Whitespace around the value is JSON too, and a body of exactly the limit is read whole.
    std::string padded = R"({"TransID":5})";
    padded.resize(16384, ' ');
    EXPECT_EQ(Linkconfig(padded).rfind(R"({ "Res": "Success", "Channel": { "TransID": 5,)", 0), 0u);
}

// Whatever the segment holds (the stand-in's configuration, or random bytes: texts without
// terminators or with bytes after them, frequencies that are no numbers, codes no rule
// takes), a channel sent back exactly as read, with every key it shows, is stored as no
// change: no byte of any segment changes and nothing is posted.
TEST_F(LinkConfig, AChannelSentBackAsReadWritesAndPostsNothing) {
    for (unsigned seed = 0; seed < 4; ++seed) {
        if (seed > 0) {
            std::mt19937 rng(seed);
            for (std::size_t i = 0; i < sizeof(ReceiverConfigPara); ++i)
                RawConfig()[i] = static_cast<unsigned char>(rng());
        }
        for (const ChannelCase &channel : kChannelCases) {
            SCOPED_TRACE("TransID " + std::to_string(channel.trans_id) + ", seed " + std::to_string(seed));
            const Json read = Parse(Linkconfig(R"({"TransID":)" + std::to_string(channel.trans_id) + "}"));
            const Json request = Parse(Plain(At(read.get(), "Channel")));
            json_object_object_add(request.get(), "Revision", json_object_get(At(read.get(), "Revision")));
            const auto config = ConfigBytes(), monitor = MonitorBytes(), gnss = GnssBytes();
            const LoggedRun run = RunLogged(Plain(request.get()));
            EXPECT_EQ(run.reply, Linkconfig(R"({"TransID":)" + std::to_string(channel.trans_id) + "}"));
            EXPECT_TRUE(run.calls.empty() && run.taken.empty()) << run.calls.size() << " calls";
            EXPECT_TRUE(ConfigBytes() == config && MonitorBytes() == monitor && GnssBytes() == gnss);
        }
    }
}

// A key the channel does not show is no key of it: a radio whose model text names no model
// shows no "Model", and a "Model" sent to it is refused.
TEST_F(LinkConfig, AKeyTheChannelDoesNotShowIsRefused) {
    std::memcpy(RawConfig() + offsetof(ReceiverConfigPara, RADIO.model), "XK-9", 5);
    const Json read = Parse(Linkconfig(R"({"TransID":7})"));
    ASSERT_EQ(At(At(read.get(), "Channel"), "Model"), nullptr);
    const auto config = ConfigBytes();
    EXPECT_EQ(Linkconfig(Change(7, json_object_get_string(At(read.get(), "Revision")), R"("Model":1)")),
              R"({ "Res": "Failed", "Error": "Model is not shown for the radio modem and cannot be set" })");
    EXPECT_TRUE(ConfigBytes() == config);
}
