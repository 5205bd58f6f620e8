// linkreport run as the web server runs it, its replies compared as whole documents with
// documents written out here from the report's rules.
#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <sstream>

#include "json_text.h"
#include "process.h"
#include "segments.h"
#include "strict_json.h"

using namespace testsupport;

namespace {

// ---- The report's vocabulary, written out from the report's tables ------------------------

struct Item {
    int id;
    std::string name;
    int index;       // slot of the message array
    int last_index;  // the last slot an item covers (equal to index for single slots)
};

std::vector<Item> Items(const char *names, int count_from = 0) {
    std::vector<Item> items;
    std::istringstream in(names);
    int index = count_from;
    for (std::string name; in >> name; ++index) items.push_back({index + 1, name, index, index});
    return items;
}

const std::vector<Item> kRaw = Items("RANGECMP GPSRAW BDSRAW GLORAW GALRAW");
const std::vector<Item> kNmea12 =
    Items("GPGGA GPZDA GPRMC GPGLL GPVTG GPYBM GPHDT GPTRA PTNLPJK PTNLAVR HEADING GPGSA");
const std::vector<Item> kNmea11(kNmea12.begin(), kNmea12.end() - 1);
const std::vector<Item> kRtcm23 = {{1, "1B", 0, 0},  {2, "3B", 1, 1},  {3, "9B", 2, 2},  {4, "31B", 3, 3},
                                   {5, "59B", 4, 6}, {6, "42B", 7, 8}, {7, "18B", 9, 9}, {8, "19B", 10, 10}};
const std::vector<Item> kRtcm30 = Items("1004B 1005B 1006B 1007B 1012B 1019B 1020B 1033B 1104B 1230B");
const std::vector<Item> kRtcm32 =
    Items("1005B 1006B 1019B 1020B 1033B 1042B 1045B 1046B 1074B 1084B 1094B 1124B 1230B");
const std::vector<Item> kCmr = Items("OBSB REFB");
const std::vector<Item> kRadioCustom = Items("GPGGA");

// The NTRIP server form: by slot, names are 1005B 1006B 1033B 1230B 1019B ...; listed with
// the first thirteen names in the order of the short form.
std::vector<Item> NtripRtcm32() {
    const char *by_slot[] = {"1005B", "1006B", "1033B", "1230B", "1019B", "1020B", "1042B", "1045B",
                             "1046B", "1074B", "1084B", "1094B", "1124B", "1114B", "1075B", "1085B",
                             "1095B", "1125B", "1115B", "1077B", "1087B", "1097B", "1127B", "1117B",
                             "1073B", "1083B", "1093B", "1123B", "1113B", "1007B", "1008B"};
    const int order[] = {0, 1, 4, 5, 2, 6, 7, 8, 9, 10, 11, 12, 3};
    std::vector<Item> items;
    for (int slot : order) items.push_back({slot + 1, by_slot[slot], slot, slot});
    for (int slot = 13; slot < 31; ++slot) items.push_back({slot + 1, by_slot[slot], slot, slot});
    return items;
}

enum class Byte { Interval, Available };

std::string List(const std::vector<Item> &items, const MsgCfgPara *slots, Byte byte) {
    std::vector<std::string> out;
    for (const Item &item : items) {
        int value = 0;
        if (byte == Byte::Interval) {
            value = slots[item.index].Interval;
        } else if (item.index == item.last_index) {
            value = slots[item.index].Available;
        } else {
            for (int i = item.index; i <= item.last_index; ++i) value |= slots[i].Available != 0;
        }
        out.push_back(Obj({{"ID", Int(item.id)}, {"Name", Str(item.name)}, {"Interval", Int(value)}}));
    }
    return Arr(out);
}

std::string TransLists(const TransDSPara &s, bool tcp) {
    return List(kRaw, s.EPH, Byte::Interval) + ", " + List(tcp ? kNmea12 : kNmea11, s.NMEA, Byte::Interval) + ", " +
           List(kRtcm23, s.RTCM23, Byte::Available) + ", " + List(kRtcm30, s.RTCM30, Byte::Available) + ", " +
           List(kRtcm32, s.RTCM32, Byte::Available) + ", " + List(kCmr, s.CMR, Byte::Available);
}

int Stream(const char *kind, int type) {
    const std::string k = kind;
    if (k == "ntrip") return type >= 3 && type <= 6 ? type : 5;
    if (k == "radio") return type >= 3 && type <= 7 ? type : 3;
    if (type == 1) return 2;
    if (type == 2) return 1;
    if (type >= 3 && type <= 6) return type;
    if (type == 9) return 7;
    if (type == 11 && k == "network") return 9;
    return 8;
}

std::string Text(const char *field, std::size_t width) {
    return Str(std::string(field, strnlen(field, width)));
}
#define TEXT(field) Text(field, sizeof(field))

std::string Ip(const unsigned int *w) {
    return Str(std::to_string(int(w[0])) + "." + std::to_string(int(w[1])) + "." + std::to_string(int(w[2])) + "." +
               std::to_string(int(w[3])));
}

std::string Expected(const ReceiverConfigPara &c) {
    std::vector<std::string> channels;
    const TransDSPara &sp = c.SP1.COMDSPara;
    channels.push_back(Obj({{"TransID", "1"},
                            {"BaudRate", Int(int(c.SP1.Baudrate))},
                            {"Port", "1"},
                            {"Check", Int(c.SP1.Verify)},
                            {"DataStreamType", Int(Stream("serial", sp.Switch.Type))},
                            {"Messages", "[ " + TransLists(sp, false) + ", [ ], [ { }, { } ] ]"},
                            {"Startup", Bool(sp.Switch.Enable)}}));
    auto tcp = [&](const EthTCPConfig &t, int trans, int id) {
        return Obj({{"TransID", Int(trans)},
                    {"TCPID", Int(id)},
                    {"RoleKind", t.RoleKind == 1 ? "0" : "1"},
                    {"DataStreamType", Int(Stream("network", t.TCPDSPara.Switch.Type))},
                    {"Messages", "[ " + TransLists(t.TCPDSPara, true) + ", [ ], [ ], [ ] ]"},
                    {"LocalPort", Int(int(t.LocalPort))},
                    {"RemoteIP", Ip(t.ServerIP)},
                    {"RemotePort", Int(int(t.ServerPort))},
                    {"Startup", Bool(t.TCPDSPara.Switch.Enable)}});
    };
    auto server = [&](const NtripServerConfig &s, int trans, int id) {
        const DiffDSPara &d = s.ServerDSPara;
        Members m = {{"TransID", Int(trans)},
                     {"NtripServerID", Int(id)},
                     {"CasterAddress", TEXT(s.CtrlPara.Domain)},
                     {"CasterPort", Int(int(s.CtrlPara.CasterPort))},
                     {"NtripVersion", Int(s.CtrlPara.Version)},
                     {"USR", TEXT(s.CtrlPara.UserName)},
                     {"PWD", TEXT(s.CtrlPara.UserPwd)},
                     {"MountPoint", TEXT(s.CtrlPara.MountPoint)},
                     {"Startup", Bool(d.Switch.Enable)},
                     {"Status", Str(d.Switch.Enable ? "Connect" : "Disconnect")},
                     {"DataStreamType", Int(Stream("ntrip", d.Switch.Type))}};
        const std::pair<int, int> msm[] = {{9, 4}, {14, 5}, {19, 7}, {24, 3}};
        for (auto [slot, level] : msm) {
            if (d.RTCM32[slot].Available != 0) {
                m.push_back({"MSM", Int(level)});
                break;
            }
        }
        m.push_back({"Messages", "[ " + List(kRtcm23, d.RTCM23, Byte::Available) + ", " +
                                     List(kRtcm30, d.RTCM30, Byte::Available) + ", " +
                                     List(NtripRtcm32(), d.RTCM32, Byte::Interval) + ", " +
                                     List(kCmr, d.CMR, Byte::Available) + " ]"});
        return Obj(m);
    };
    channels.push_back(tcp(c.TCP1, 3, 1));
    channels.push_back(tcp(c.TCP2, 4, 2));
    channels.push_back(server(c.NS1, 5, 1));
    channels.push_back(Obj({{"TransID", "6"},
                            {"CasterAddress", TEXT(c.NC.Domain)},
                            {"CasterPort", Int(int(c.NC.ServerPort))},
                            {"NtripVersion", Int(c.NS1.CtrlPara.Version)},
                            {"USR", TEXT(c.NC.UserName)},
                            {"PWD", TEXT(c.NC.UserPwd)},
                            {"MountPoint", TEXT(c.NC.MountPoint)},
                            {"Startup", Bool(c.NC.ClientEnable)},
                            {"Status", Str(c.NC.ClientEnable ? "Connect" : "Disconnect")}}));
    const RadioConfig &r = c.RADIO;
    Members radio = {{"TransID", "7"}};
    const std::string model(r.model, strnlen(r.model, sizeof r.model));
    const std::pair<const char *, int> models[] = {{"MV-TX", 1}, {"PN-WAVE", 2}, {"7731K", 3}, {"T3", 4}, {"T8", 4}};
    for (auto [text, code] : models) {
        if (model == text) {
            radio.push_back({"Model", Int(code)});
            break;
        }
    }
    const DiffDSPara &rd = r.RadioDSPara;
    for (const auto &member :
         Members{{"RoleKind", Int(r.mode)},
                 {"Channel", Int(r.channel)},
                 {"RXFREQ", Double(r.rx_freq)},
                 {"TXFREQ", Double(r.tx_freq)},
                 {"Protocol", Int(r.protocol)},
                 {"ABR", Int(r.air_baudrate)},
                 {"Power", Int(r.power)},
                 {"FEC", Int(r.fec)},
                 {"DataStreamType", Int(Stream("radio", rd.Switch.Type))},
                 {"Messages",
                  "[ " + List(kRtcm23, rd.RTCM23, Byte::Available) + ", " + List(kRtcm30, rd.RTCM30, Byte::Available) +
                      ", " + List(kRtcm32, rd.RTCM32, Byte::Available) + ", " + List(kCmr, rd.CMR, Byte::Available) +
                      ", " + List(kRadioCustom, rd.Custom, Byte::Available) + " ]"},
                 {"Startup", Bool(r.sw)}})
        radio.push_back(member);
    channels.push_back(Obj(radio));
    channels.push_back(Obj({{"TransID", "8"},
                            {"CasterPort", Int(int(c.NA.port))},
                            {"USR", TEXT(c.NA.usr_name)},
                            {"PWD", TEXT(c.NA.pwd)},
                            {"Startup", Bool(c.NA.enable)},
                            {"Status", Str(c.NA.enable ? "Connect" : "Disconnect")}}));
    channels.push_back(server(c.NS2, 9, 2));
    const UDPConfig &u = c.UDP;
    channels.push_back(Obj({{"TransID", "10"},
                            {"UDPID", "1"},
                            {"RoleKind", "0"},
                            {"DataStreamType", Int(Stream("network", u.UDPDSPara.Switch.Type))},
                            {"Messages", "[ " + TransLists(u.UDPDSPara, false) + ", [ ], [ ], [ ] ]"},
                            {"LocalPort", Int(int(u.LocalPort))},
                            {"RemoteIP", Ip(u.ServerIP)},
                            {"RemotePort", Int(int(u.ServerPort))},
                            {"Startup", Bool(u.UDPDSPara.Switch.Enable)}}));
    return Obj({{"DataTrans", Arr(channels)}});
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
    ReceiverConfigPara zero;
    std::memset(&zero, 0, sizeof zero);
    const std::string reply = Reply();
    EXPECT_EQ(reply, Expected(zero));
    // The zero report's shared values, stated directly.
    EXPECT_NE(reply.find(R"({ "TransID": 1, "BaudRate": 0, "Port": 1, "Check": 0, "DataStreamType": 8, )"),
              std::string::npos);
    EXPECT_EQ(reply.find("true"), std::string::npos);
    EXPECT_EQ(reply.find("\"Connect\""), std::string::npos);
    EXPECT_EQ(reply.find("MSM"), std::string::npos);
    EXPECT_NE(reply.find(R"("RemoteIP": "0.0.0.0")"), std::string::npos);
}

TEST_F(LinkReport, RichConfiguration) {
    const ReceiverConfigPara config = RichConfig();
    Store(config);
    const std::string reply = Reply();
    EXPECT_EQ(reply, Expected(config));
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
    EXPECT_TRUE(testsupport::StrictJson::Accepts(Expected(config)));
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

TEST_F(LinkReport, StreamTypesPerChannelKind) {
    for (int type : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 255}) {
        ReceiverConfigPara config = RichConfig();
        for (MsgSwitchPara *s :
             {&config.SP1.COMDSPara.Switch, &config.TCP1.TCPDSPara.Switch, &config.TCP2.TCPDSPara.Switch,
              &config.UDP.UDPDSPara.Switch, &config.NS1.ServerDSPara.Switch, &config.NS2.ServerDSPara.Switch,
              &config.RADIO.RadioDSPara.Switch})
            s->Type = static_cast<unsigned char>(type);
        Store(config);
        EXPECT_EQ(Reply(), Expected(config)) << "stream type " << type;
    }
}

TEST_F(LinkReport, RadioModelTexts) {
    for (const char *model : {"MV-TX", "PN-WAVE", "7731K", "T3", "T8", "T3 ", "t3", "", "MV-TX-2", "ABCDEFGHIJKL"}) {
        ReceiverConfigPara config = RichConfig();
        SetText(config.RADIO.model, model);
        Store(config);
        const std::string reply = Reply();
        EXPECT_EQ(reply, Expected(config)) << "model '" << model << "'";
        const bool known = std::string(model) == "MV-TX" || std::string(model) == "PN-WAVE" ||
                           std::string(model) == "7731K" || std::string(model) == "T3" || std::string(model) == "T8";
        EXPECT_EQ(reply.find(R"({ "TransID": 7, "RoleKind")") == std::string::npos, known) << model;
    }
}

TEST_F(LinkReport, ReplyDoesNotDependOnTheRequestAndChangesNothing) {
    Store(RichConfig());
    const auto before = ConfigBytes();
    const auto monitor = MonitorBytes();
    const std::string expected = Expected(RichConfig());
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
