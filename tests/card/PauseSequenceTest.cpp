// The card layer's bus pauses in their places: at every bridge register write the
// number of pauses made since the command began, for the open, a tune, on, off and
// one RDS byte, compared with whole sequences written out here.
#include "CardFixture.h"

#include <sstream>

namespace {

constexpr char RegisterEventPrefix[] = "REG ";

// Passes every driver call on to the virtual card and notes each register write as
// "<register>=<value>@<pauses since Begin>"; End adds "@<pauses>" for the whole command.
class TPauseRecorder : public TDriverDevice {
public:
    explicit TPauseRecorder(TVirtualCard& card) : card_(card) {}

    HANDLE Open() override { return card_.Open(); }
    void Close(HANDLE device) override { card_.Close(device); }
    uint32_t Call(HANDLE device, uint32_t code, void* record, uint32_t length) override
    {
        const uint32_t result = card_.Call(device, code, record, length);
        const std::vector<std::string>& events = card_.Trace().Events();
        for (; seen_ < events.size(); ++seen_) {
            std::istringstream event(events[seen_]);
            std::string kind;
            int reg = 0, value = 0;
            event >> kind >> reg >> value;
            if (kind + " " == RegisterEventPrefix)
                writes_.push_back(std::to_string(reg) + "=" + std::to_string(value) + "@" +
                                  std::to_string(BusPauseCount() - start_));
        }
        return result;
    }

    void Begin()
    {
        start_ = BusPauseCount();
        seen_ = card_.Trace().Events().size();
        writes_.clear();
    }

    std::vector<std::string> End()
    {
        std::vector<std::string> writes = writes_;
        writes.push_back("@" + std::to_string(BusPauseCount() - start_));
        return writes;
    }

private:
    TVirtualCard& card_;
    uint64_t start_ = 0;
    size_t seen_ = 0;
    std::vector<std::string> writes_;
};

// The expected writes, written as lines of space-separated entries (one line per bus
// byte or phase), as one list.
std::vector<std::string> Writes(std::initializer_list<const char*> lines)
{
    std::vector<std::string> writes;
    for (const char* line : lines) {
        std::istringstream entries(line);
        std::string entry;
        while (entries >> entry)
            writes.push_back(entry);
    }
    return writes;
}

class PauseSequence : public CardTest {
protected:
    void SetUp() override
    {
        CardTest::SetUp();
        recorder = std::make_unique<TPauseRecorder>(*virtualCard);
        UseDriverDevice(recorder.get());
    }

    void Open()
    {
        ASSERT_TRUE(sondel.OpenCard()) << sondel.LastError;
    }

    std::unique_ptr<TPauseRecorder> recorder;
};

} // namespace

TEST_F(PauseSequence, Open)
{
    recorder->Begin();
    Open();
    EXPECT_EQ(recorder->End(), Writes({"3=4@0 3=12@0 2=47@0 @0"}));
}

TEST_F(PauseSequence, Tune)
{
    Open();
    recorder->Begin();
    sondel.SetFrequency(101300, 5);
    EXPECT_EQ(recorder->End(), Writes({
        "3=43@2 3=35@3",  // start
        "3=39@6 3=47@7 3=39@8 3=47@12 3=39@13 3=35@16 3=43@17 3=35@18 3=43@22 3=35@23 3=43@27 3=35@28 3=43@32 3=35@33 3=43@37 3=35@38 3=43@42 3=35@43 3=39@44 3=47@45 3=39@46",  // C0, acknowledge
        "3=35@49 3=43@50 3=35@51 3=43@55 3=35@56 3=43@60 3=35@61 3=43@65 3=35@66 3=43@70 3=35@71 3=39@74 3=47@75 3=39@76 3=47@80 3=39@81 3=47@85 3=39@86 3=47@88 3=39@89",  // 07, acknowledge
        "3=47@93 3=39@94 3=47@98 3=39@99 3=47@103 3=39@104 3=35@107 3=43@108 3=35@109 3=39@112 3=47@113 3=39@114 3=35@117 3=43@118 3=35@119 3=39@122 3=47@123 3=39@124 3=35@127 3=43@128 3=35@129 3=39@130 3=47@131 3=39@132",  // EA, acknowledge
        "3=47@136 3=39@137 3=47@141 3=39@142 3=35@145 3=43@146 3=35@147 3=43@151 3=35@152 3=43@156 3=35@157 3=43@161 3=35@162 3=43@166 3=35@167 3=43@171 3=35@172 3=39@173 3=47@174 3=39@175",  // C0, acknowledge
        "3=35@178 3=43@179 3=35@180 3=43@184 3=35@185 3=43@189 3=35@190 3=43@194 3=35@195 3=43@199 3=35@200 3=39@203 3=47@204 3=39@205 3=35@208 3=43@209 3=35@210 3=39@213 3=47@214 3=39@215 3=47@217 3=39@218",  // 05, acknowledge
        "3=35@219 3=43@220 3=47@221",  // stop
        "@221",  // every pause
    }));
}

TEST_F(PauseSequence, On)
{
    Open();
    recorder->Begin();
    sondel.TransmitterOn();
    EXPECT_EQ(recorder->End(), Writes({
        "2=47@0 3=47@0",  // the pins first
        "3=43@4 3=35@5",  // start
        "3=39@8 3=47@9 3=39@10 3=47@14 3=39@15 3=35@18 3=43@19 3=35@20 3=43@24 3=35@25 3=43@29 3=35@30 3=43@34 3=35@35 3=43@39 3=35@40 3=43@44 3=35@45 3=39@46 3=47@47 3=39@48",  // C0, acknowledge
        "3=35@51 3=43@52 3=35@53 3=43@57 3=35@58 3=43@62 3=35@63 3=43@67 3=35@68 3=43@72 3=35@73 3=39@76 3=47@77 3=39@78 3=47@82 3=39@83 3=47@87 3=39@88 3=47@90 3=39@91",  // 07, acknowledge
        "3=47@95 3=39@96 3=47@100 3=39@101 3=35@104 3=43@105 3=35@106 3=39@109 3=47@110 3=39@111 3=35@114 3=43@115 3=35@116 3=43@120 3=35@121 3=43@125 3=35@126 3=43@130 3=35@131 3=39@132 3=47@133 3=39@134",  // D0, acknowledge
        "3=47@138 3=39@139 3=47@143 3=39@144 3=35@147 3=43@148 3=35@149 3=43@153 3=35@154 3=43@158 3=35@159 3=43@163 3=35@164 3=43@168 3=35@169 3=43@173 3=35@174 3=39@175 3=47@176 3=39@177",  // C0, acknowledge
        "3=35@180 3=43@181 3=35@182 3=43@186 3=35@187 3=43@191 3=35@192 3=43@196 3=35@197 3=43@201 3=35@202 3=43@206 3=35@207 3=43@211 3=35@212 3=43@216 3=35@217 3=39@218 3=47@219 3=39@220",  // 00, acknowledge
        "3=35@221 3=43@222 3=47@223",  // stop
        "@225",  // every pause
    }));
}

TEST_F(PauseSequence, Off)
{
    Open();
    sondel.TransmitterOn();
    recorder->Begin();
    sondel.TransmitterOff();
    EXPECT_EQ(recorder->End(), Writes({
        "2=46@0",  // the pins first
        "3=43@4 3=35@5",  // start
        "3=39@8 3=47@9 3=39@10 3=47@14 3=39@15 3=35@18 3=43@19 3=35@20 3=43@24 3=35@25 3=43@29 3=35@30 3=43@34 3=35@35 3=43@39 3=35@40 3=43@44 3=35@45 3=39@46 3=47@47 3=39@48",  // C0, acknowledge
        "3=35@51 3=43@52 3=35@53 3=43@57 3=35@58 3=43@62 3=35@63 3=43@67 3=35@68 3=43@72 3=35@73 3=39@76 3=47@77 3=39@78 3=47@82 3=39@83 3=35@86 3=43@87 3=35@88 3=39@89 3=47@90 3=39@91",  // 06, acknowledge
        "3=47@95 3=39@96 3=47@100 3=39@101 3=35@104 3=43@105 3=35@106 3=39@109 3=47@110 3=39@111 3=35@114 3=43@115 3=35@116 3=43@120 3=35@121 3=39@124 3=47@125 3=39@126 3=35@129 3=43@130 3=35@131 3=39@132 3=47@133 3=39@134",  // D2, acknowledge
        "3=47@138 3=39@139 3=47@143 3=39@144 3=35@147 3=43@148 3=35@149 3=43@153 3=35@154 3=43@158 3=35@159 3=43@163 3=35@164 3=43@168 3=35@169 3=43@173 3=35@174 3=39@175 3=47@176 3=39@177",  // C0, acknowledge
        "3=35@180 3=43@181 3=35@182 3=43@186 3=35@187 3=43@191 3=35@192 3=43@196 3=35@197 3=43@201 3=35@202 3=43@206 3=35@207 3=43@211 3=35@212 3=43@216 3=35@217 3=39@218 3=47@219 3=39@220",  // 00, acknowledge
        "3=35@221 3=43@222 3=47@223",  // stop
        "@225",  // every pause
    }));
}

TEST_F(PauseSequence, OneRdsByte)
{
    Open();
    recorder->Begin();
    WriteRdsByte(0x00, 0x12, 0x5A);
    EXPECT_EQ(recorder->End(), Writes({
        "3=43@2 3=35@3",  // start
        "3=39@6 3=47@7 3=39@8 3=35@11 3=43@12 3=35@13 3=39@16 3=47@17 3=39@18 3=35@21 3=43@22 3=35@23 3=43@27 3=35@28 3=43@32 3=35@33 3=43@37 3=35@38 3=43@42 3=35@43 3=39@44 3=47@45 3=39@46",  // A0, acknowledge
        "3=35@49 3=43@50 3=35@51 3=43@55 3=35@56 3=43@60 3=35@61 3=43@65 3=35@66 3=43@70 3=35@71 3=43@75 3=35@76 3=43@80 3=35@81 3=43@85 3=35@86 3=39@87 3=47@88 3=39@89",  // 00, acknowledge
        "3=35@92 3=43@93 3=35@94 3=43@98 3=35@99 3=43@103 3=35@104 3=39@107 3=47@108 3=39@109 3=35@112 3=43@113 3=35@114 3=43@118 3=35@119 3=39@122 3=47@123 3=39@124 3=35@127 3=43@128 3=35@129 3=39@130 3=47@131 3=39@132",  // 12, acknowledge
        "3=35@135 3=43@136 3=35@137 3=39@140 3=47@141 3=39@142 3=35@145 3=43@146 3=35@147 3=39@150 3=47@151 3=39@152 3=47@156 3=39@157 3=35@160 3=43@161 3=35@162 3=39@165 3=47@166 3=39@167 3=35@170 3=43@171 3=35@172 3=39@173 3=47@174 3=39@175",  // 5A, acknowledge
        "3=35@176 3=43@177 3=47@178",  // stop
        "@178",  // every pause
    }));
}
