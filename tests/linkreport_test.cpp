// linkreport run as the web server runs it, its replies compared as whole documents with
// recorded replies (tests/replies).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <sstream>

#include "process.h"
#include "segments.h"
#include "strict_json.h"

using namespace testsupport;

namespace {

// A reply the program printed for one of the configurations below, recorded when it matched,
// byte for byte, a reply written out independently from the report's rules.
std::string Recorded(const char *name) {
    std::ifstream in(std::string(REPLIES_DIR "/") + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_FALSE(text.str().empty()) << name;
    return text.str();
}

// Every value of a member in the reply, in order.
std::vector<int> AllValues(const std::string &reply, const std::string &key) {
    std::vector<int> values;
    const std::string pattern = "\"" + key + "\": ";
    for (std::size_t at = reply.find(pattern); at != std::string::npos; at = reply.find(pattern, at + 1))
        values.push_back(std::atoi(reply.c_str() + at + pattern.size()));
    return values;
}

// ---- Configurations -----------------------------------------------------------------------

void Fill(MsgCfgPara *slots, int count, int seed) {
    for (int i = 0; i < count; ++i) {
        slots[i].Interval = static_cast<signed char>((seed + i * 3) % 7 == 0 ? -1 : (seed + i) % 5);
        slots[i].Available = static_cast<unsigned char>((seed + i) % 4 == 0 ? 0xFF : (seed * i) % 3);
        slots[i].MsgID = static_cast<unsigned short>(1000 + i);
        slots[i].time = 0xDEADBEEF;
    }
}

template <std::size_t N>
void SetText(char (&field)[N], const std::string &text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N));
}

ReceiverConfigPara RichConfig() {
    ReceiverConfigPara c;
    std::memset(&c, 0, sizeof c);
    c.SP1.Baudrate = 115200;
    c.SP1.Verify = 2;
    c.SP1.COMDSPara.Switch = {1, 9};
    TransDSPara *streams[] = {&c.SP1.COMDSPara, &c.TCP1.TCPDSPara, &c.TCP2.TCPDSPara, &c.UDP.UDPDSPara};
    int seed = 1;
    for (TransDSPara *s : streams) {
        Fill(s->NMEA, 20, seed++);
        Fill(s->EPH, 12, seed++);
        Fill(s->RTCM23, 20, seed++);
        Fill(s->RTCM30, 20, seed++);
        Fill(s->RTCM32, 32, seed++);
        Fill(s->CMR, 8, seed++);
    }
    // "59B" from slot 6 alone; "42B" from neither slot.
    for (int i = 4; i <= 8; ++i) c.SP1.COMDSPara.RTCM23[i].Available = 0;
    c.SP1.COMDSPara.RTCM23[6].Available = 3;

    c.TCP1.RoleKind = 1;
    c.TCP1.LocalPort = 0xFFFFFFFF;
    c.TCP1.ServerPort = 2147483648u;
    const unsigned int address[4] = {192, 168, 1, 10};
    std::memcpy(c.TCP1.ServerIP, address, sizeof address);
    c.TCP1.TCPDSPara.Switch = {1, 11};
    c.TCP2.RoleKind = 2;
    c.TCP2.LocalPort = 9000;
    c.TCP2.TCPDSPara.Switch = {0, 7};
    c.UDP.RoleKind = 1;
    c.UDP.LocalPort = 5000;
    c.UDP.ServerPort = 5001;
    std::memcpy(c.UDP.ServerIP, address, sizeof address);
    c.UDP.UDPDSPara.Switch = {3, 11};

    NtripServerConfig *servers[] = {&c.NS1, &c.NS2};
    for (NtripServerConfig *s : servers) {
        Fill(s->ServerDSPara.RTCM23, 20, seed++);
        Fill(s->ServerDSPara.RTCM30, 20, seed++);
        Fill(s->ServerDSPara.RTCM32, 32, seed++);
        Fill(s->ServerDSPara.CMR, 8, seed++);
        for (int slot : {9, 14, 19, 24}) s->ServerDSPara.RTCM32[slot].Available = 0;
    }
    c.NS1.CtrlPara.Version = 2;
    SetText(c.NS1.CtrlPara.Domain, std::string(65, 'd'));  // no terminator within the field
    c.NS1.CtrlPara.CasterPort = 2101;
    SetText(c.NS1.CtrlPara.UserName, "base/user");
    SetText(c.NS1.CtrlPara.UserPwd, "pw\"1");
    SetText(c.NS1.CtrlPara.MountPoint, "MOUNT1");
    c.NS1.ServerDSPara.Switch = {1, 2};
    c.NS1.ServerDSPara.RTCM32[14].Available = 1;
    c.NS1.ServerDSPara.RTCM32[24].Available = 1;
    c.NS2.CtrlPara.Version = 1;
    c.NS2.ServerDSPara.Switch = {0, 4};
    c.NS2.ServerDSPara.RTCM32[24].Available = 7;

    c.NC.ClientEnable = 1;
    SetText(c.NC.Domain, "caster.example.com");
    c.NC.ServerPort = 2101;
    SetText(c.NC.UserName, "rover");
    SetText(c.NC.UserPwd, "secret");
    SetText(c.NC.MountPoint, std::string(33, 'M'));

    c.RADIO.rx_freq = 433.125f;
    c.RADIO.tx_freq = 0.1f;
    c.RADIO.sw = 1;
    c.RADIO.channel = 3;
    c.RADIO.mode = 2;
    c.RADIO.protocol = 4;
    c.RADIO.power = 5;
    c.RADIO.fec = 1;
    c.RADIO.air_baudrate = 9;
    SetText(c.RADIO.model, "PN-WAVE");
    c.RADIO.RadioDSPara.Switch = {0, 7};
    Fill(c.RADIO.RadioDSPara.RTCM23, 20, seed++);
    Fill(c.RADIO.RadioDSPara.RTCM30, 20, seed++);
    Fill(c.RADIO.RadioDSPara.RTCM32, 32, seed++);
    Fill(c.RADIO.RadioDSPara.CMR, 8, seed++);
    Fill(c.RADIO.RadioDSPara.Custom, 12, seed++);

    c.NA.port = 2102;
    SetText(c.NA.usr_name, std::string(19, 'u'));
    SetText(c.NA.pwd, "casterpw");
    c.NA.enable = 1;
    return c;
}

class LinkReport : public testing::Test {
 protected:
    void SetUp() override { ASSERT_EQ(InitShareMemory(), 0); }

    static void Store(const ReceiverConfigPara &config) { std::memcpy(RawConfig(), &config, sizeof config); }

    static std::string Reply() {
        const ProgramResult result = Post(LINKREPORT_PATH, "{}");
        EXPECT_EQ(result.exit_status, 0);
        return ReplyBody(result);
    }
};

}  // namespace

TEST_F(LinkReport, AllZeroSegment) {
    const std::string reply = Reply();
    EXPECT_EQ(reply, Recorded("linkreport_zero.json"));
    // The zero report's shared values, stated directly.
    EXPECT_NE(reply.find(R"({ "TransID": 1, "BaudRate": 0, "Port": 1, "Check": 0, "DataStreamType": 8, )"),
              std::string::npos);
    EXPECT_EQ(reply.find("true"), std::string::npos);
    EXPECT_EQ(reply.find("\"Connect\""), std::string::npos);
    EXPECT_EQ(reply.find("MSM"), std::string::npos);
    EXPECT_NE(reply.find(R"("RemoteIP": "0.0.0.0")"), std::string::npos);
}

TEST_F(LinkReport, RichConfiguration) {
    Store(RichConfig());
    const std::string reply = Reply();
    EXPECT_EQ(reply, Recorded("linkreport_rich.json"));
    EXPECT_NE(reply.find(R"("RemoteIP": "192.168.1.10")"), std::string::npos);
    EXPECT_NE(reply.find(R"("LocalPort": -1)"), std::string::npos);
    EXPECT_NE(reply.find(R"("RemotePort": -2147483648)"), std::string::npos);
    EXPECT_NE(reply.find(R"("MSM": 5)"), std::string::npos);
    EXPECT_NE(reply.find(R"("MSM": 3)"), std::string::npos);
    EXPECT_NE(reply.find(R"("RXFREQ": 433.125, "TXFREQ": 0.10000000149011612)"), std::string::npos);
    EXPECT_NE(reply.find(R"({ "ID": 5, "Name": "59B", "Interval": 1 }, { "ID": 6, "Name": "42B", "Interval": 0 })"),
              std::string::npos);
    EXPECT_NE(reply.find("\"" + std::string(65, 'd') + "\""), std::string::npos);
}

// A float that is not a number would be printed by json-c as a word no JSON reader takes,
// and the page would show no channel at all.
TEST_F(LinkReport, FrequenciesThatAreNotNumbersShowAsZero) {
    ReceiverConfigPara config = RichConfig();
    EXPECT_TRUE(testsupport::StrictJson::Accepts(Recorded("linkreport_rich.json")));
    for (const float wild : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity()}) {
        config.RADIO.rx_freq = wild;
        config.RADIO.tx_freq = -wild;
        Store(config);
        const std::string reply = Reply();
        EXPECT_NE(reply.find(R"("RXFREQ": 0.0, "TXFREQ": 0.0)"), std::string::npos) << wild;
        EXPECT_TRUE(testsupport::StrictJson::Accepts(reply)) << reply;
    }
}

// Each MSM rule alone: only its own slot is set, so a rule that reads a neighbouring slot
// reports no level. Then two slots at once: the earlier rule decides.
TEST_F(LinkReport, EachMsmRuleIsDecidedByItsOwnSlot) {
    auto msm_of = [&](std::initializer_list<int> slots) {
        ReceiverConfigPara config;
        std::memset(&config, 0, sizeof config);
        for (int slot : slots) config.NS2.ServerDSPara.RTCM32[slot].Available = 1;
        Store(config);
        const std::string reply = Reply();
        const std::size_t at = reply.find("\"MSM\": ");
        if (at == std::string::npos) return 0;
        EXPECT_EQ(reply.find("\"MSM\"", at + 1), std::string::npos) << "only NTRIP server 2 has a level";
        EXPECT_GT(at, reply.find("\"NtripServerID\": 2")) << "the level belongs to NTRIP server 2";
        return std::atoi(reply.c_str() + at + 7);
    };
    EXPECT_EQ(msm_of({9}), 4);
    EXPECT_EQ(msm_of({14}), 5);
    EXPECT_EQ(msm_of({19}), 7);
    EXPECT_EQ(msm_of({24}), 3);
    for (int other : {8, 10, 13, 15, 18, 20, 23, 25}) EXPECT_EQ(msm_of({other}), 0) << "slot " << other;
    EXPECT_EQ(msm_of({24, 9}), 4);
    EXPECT_EQ(msm_of({19, 14}), 5);
    EXPECT_EQ(msm_of({24, 19}), 7);
}

// Words that are no octets show as "%d" does, the whole text cut to 23 characters.
TEST_F(LinkReport, AddressWordsOutOfRangeAreCutAsBefore) {
    ReceiverConfigPara config;
    std::memset(&config, 0, sizeof config);
    const unsigned int words[4] = {4294967295u, 2147483648u, 123456789u, 7u};
    std::memcpy(config.TCP1.ServerIP, words, sizeof words);
    Store(config);
    EXPECT_NE(Reply().find(R"("RemoteIP": "-1.-2147483648.12345678")"), std::string::npos);
}

// "DataStreamType" per stored type, in the order the channels appear: serial port, TCP 1,
// TCP 2, NTRIP server 1, radio, NTRIP server 2, UDP.
TEST_F(LinkReport, StreamTypesPerChannelKind) {
    const std::pair<int, std::vector<int>> rows[] = {
        {0, {8, 8, 8, 5, 3, 5, 8}},  {1, {2, 2, 2, 5, 3, 5, 2}},   {2, {1, 1, 1, 5, 3, 5, 1}},
        {3, {3, 3, 3, 3, 3, 3, 3}},  {4, {4, 4, 4, 4, 4, 4, 4}},   {5, {5, 5, 5, 5, 5, 5, 5}},
        {6, {6, 6, 6, 6, 6, 6, 6}},  {7, {8, 8, 8, 5, 7, 5, 8}},   {8, {8, 8, 8, 5, 3, 5, 8}},
        {9, {7, 7, 7, 5, 3, 5, 7}},  {10, {8, 8, 8, 5, 3, 5, 8}},  {11, {8, 9, 9, 5, 3, 5, 9}},
        {12, {8, 8, 8, 5, 3, 5, 8}}, {255, {8, 8, 8, 5, 3, 5, 8}},
    };
    for (const auto &[type, expected] : rows) {
        ReceiverConfigPara config = RichConfig();
        for (MsgSwitchPara *s :
             {&config.SP1.COMDSPara.Switch, &config.TCP1.TCPDSPara.Switch, &config.TCP2.TCPDSPara.Switch,
              &config.UDP.UDPDSPara.Switch, &config.NS1.ServerDSPara.Switch, &config.NS2.ServerDSPara.Switch,
              &config.RADIO.RadioDSPara.Switch})
            s->Type = static_cast<unsigned char>(type);
        Store(config);
        EXPECT_EQ(AllValues(Reply(), "DataStreamType"), expected) << "stream type " << type;
    }
}

// The model text gives the radio's "Model" code, or no "Model" at all; nothing else changes.
TEST_F(LinkReport, RadioModelTexts) {
    const std::string rich = Recorded("linkreport_rich.json");
    const std::string model_member = R"("Model": 2, )";  // the rich configuration's "PN-WAVE"
    const std::size_t at = rich.find(model_member);
    ASSERT_NE(at, std::string::npos);
    const std::pair<const char *, const char *> rows[] = {
        {"MV-TX", R"("Model": 1, )"},
        {"PN-WAVE", R"("Model": 2, )"},
        {"7731K", R"("Model": 3, )"},
        {"T3", R"("Model": 4, )"},
        {"T8", R"("Model": 4, )"},
        {"T3 ", ""},
        {"t3", ""},
        {"", ""},
        {"MV-TX-2", ""},
        {"ABCDEFGHIJKL", ""},
    };
    for (const auto &[model, member] : rows) {
        ReceiverConfigPara config = RichConfig();
        SetText(config.RADIO.model, model);
        Store(config);
        std::string expected = rich;
        expected.replace(at, model_member.size(), member);
        EXPECT_EQ(Reply(), expected) << "model '" << model << "'";
    }
}

TEST_F(LinkReport, ReplyDoesNotDependOnTheRequestAndChangesNothing) {
    Store(RichConfig());
    const auto before = ConfigBytes();
    const auto monitor = MonitorBytes();
    const std::string expected = Recorded("linkreport_rich.json");
    const std::string header = "Content-type: application/text;charset=utf-8\n\n";
    const std::map<std::string, std::string> requests[] = {
        {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "11"}},
        {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "0"}},
        {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", "{\"Key\":\"1\"}"}},
        {{"REQUEST_METHOD", "GET"}},
        {},
        {{"REQUEST_METHOD", "DELETE"}},
    };
    for (const auto &environment : requests) {
        const ProgramResult result = RunProgram(LINKREPORT_PATH, environment, "{\"Key\":\"2\"}");
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(result.out, header + expected);
    }
    EXPECT_EQ(ConfigBytes(), before);
    EXPECT_EQ(MonitorBytes(), monitor);
}
