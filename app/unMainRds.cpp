// The RDS panel of the main window: each edit and list stored as it changes,
// and "Update RDS" writing the panel's values into the card's RDS memory.
#include "unMain.h"

#include "CodePage.h"
#include "CommandLanguage.h"

#include "RdsUpdate.h"
#include "StationLogLines.h"
#include "SettingsStore.h"
#include "StdCtrls.h"
#include "SysUtils.h"
#include "VrEdit.h"

namespace {

using SettingsStore::ReadSetting;
using SettingsStore::SettingsSubKey;
using SettingsStore::WriteSetting;

constexpr char RdsCharacterSetSetting[] = "RdsCharacterSet";
// The edits hold their text in the system's code page.
const TCodePageConversion SystemCodePageText = {SystemToUnicode, UnicodeToSystem};

void StoreItemIndex(const char* name, const TComboBox* list) {
    WriteSetting(name, SettingsSubKey, IntToStr(list->ItemIndex()));
}

// The panel's controls as the update reads them, each value at the moment of its write.
class TPanelValues : public TRdsValues {
public:
    explicit TPanelValues(TfoMain& form) : form_(form) {}
    int Pty() override { return form_.ComboBox1->ItemIndex(); }
    int Tp() override { return form_.ComboBox5->ItemIndex(); }
    int MusicSpeech() override { return form_.ComboBox6->ItemIndex(); }
    int CountryCode() override { return form_.ComboBox2->ItemIndex(); }
    int ProgramReference() override { return form_.ComboBox4->ItemIndex(); }
    std::string ProgramService() override { return form_.VrStrEdit1->Text(); }
    std::string RadioText() override { return form_.VrStrEdit2->Text(); }
    std::optional<std::string> ProgramServiceCodes() override { return form_.ProgramServiceCodes(); }
    std::optional<std::string> RadioTextCodes() override { return form_.RadioTextCodes(); }

private:
    TfoMain& form_;
};

std::optional<int> Selected(const TComboBox* list) {
    if (list->ItemIndex() < 0) return std::nullopt;
    return list->ItemIndex();
}

TRdsFields PanelFields(const TfoMain& form, TMemoryCharacterSet characters) {
    TRdsFields fields;
    fields.ProgramService = form.VrStrEdit1->Text();
    fields.RadioText = form.VrStrEdit2->Text();
    fields.Pty = Selected(form.ComboBox1);
    const std::string pi = PiText(form.ComboBox2->ItemIndex(), form.ComboBox3->ItemIndex(), form.ComboBox4->ItemIndex());
    if (!pi.empty()) fields.Pi = pi;
    fields.Tp = Selected(form.ComboBox5);
    fields.MusicSpeech = Selected(form.ComboBox6);
    fields.CharacterSet = MemoryCharacterSetName(characters);
    return fields;
}

// The fields of Now that differ from Before (all of them when nothing was named before).
TRdsFields ChangedFields(const TRdsFields& now, const std::optional<TRdsFields>& before) {
    if (!before) return now;
    TRdsFields changed;
    if (now.ProgramService != before->ProgramService) changed.ProgramService = now.ProgramService;
    if (now.RadioText != before->RadioText) changed.RadioText = now.RadioText;
    if (now.Pty != before->Pty) changed.Pty = now.Pty;
    if (now.Pi != before->Pi) changed.Pi = now.Pi;
    if (now.Tp != before->Tp) changed.Tp = now.Tp;
    if (now.MusicSpeech != before->MusicSpeech) changed.MusicSpeech = now.MusicSpeech;
    if (now.CharacterSet != before->CharacterSet) changed.CharacterSet = now.CharacterSet;
    return changed;
}

}  // namespace

void TfoMain::BindRdsHandlers() {
    ComboBox1->OnChange = [this](TObject* sender) { ComboBox1Change(sender); };
    ComboBox2->OnChange = [this](TObject* sender) { ComboBox2Change(sender); };
    ComboBox3->OnChange = [this](TObject* sender) { ComboBox3Change(sender); };
    ComboBox4->OnChange = [this](TObject* sender) { ComboBox4Change(sender); };
    ComboBox5->OnChange = [this](TObject* sender) { ComboBox5Change(sender); };
    ComboBox6->OnChange = [this](TObject* sender) { ComboBox6Change(sender); };
    VrStrEdit1->OnChange = [this](TObject* sender) { VrStrEdit1Change(sender); };
    VrStrEdit2->OnChange = [this](TObject* sender) { VrStrEdit2Change(sender); };
    Button1->OnClick = [this](TObject* sender) { Button1Click(sender); };
}

void TfoMain::ComboBox1Change(TObject*) { StoreItemIndex("PTY", ComboBox1); }
void TfoMain::ComboBox2Change(TObject*) { StoreItemIndex("PIC", ComboBox2); }
void TfoMain::ComboBox3Change(TObject*) { StoreItemIndex("PIA", ComboBox3); }
void TfoMain::ComboBox4Change(TObject*) { StoreItemIndex("PIP", ComboBox4); }
void TfoMain::ComboBox5Change(TObject*) { StoreItemIndex("TP", ComboBox5); }
void TfoMain::ComboBox6Change(TObject*) { StoreItemIndex("MS", ComboBox6); }

void TfoMain::VrStrEdit1Change(TObject*) {
    WriteSetting("PS", SettingsSubKey, VrStrEdit1->Text());
    StoreTextCodes(psCodes_, VrStrEdit1->Text());
}
void TfoMain::VrStrEdit2Change(TObject*) {
    WriteSetting("RT", SettingsSubKey, VrStrEdit2->Text());
    StoreTextCodes(rtCodes_, VrStrEdit2->Text());
}

std::optional<std::string> TfoMain::ProgramServiceCodes() const { return RdsCodesOf(psCodes_.Kept, VrStrEdit1->Text()); }
std::optional<std::string> TfoMain::RadioTextCodes() const { return RdsCodesOf(rtCodes_.Kept, VrStrEdit2->Text()); }

void TfoMain::SetTextFromCommand(TVrStrEdit* edit, TTextCodes& codes, const TCommand& command) {
    // Kept before the edit changes, so that its handler stores them with the text.
    codes.Kept.reset();
    if (command.RdsCodes && CodePageToRds(command.Text, SystemCodePageText) != *command.RdsCodes)
        codes.Kept = TRdsTextCodes{command.Text, *command.RdsCodes};
    edit->SetText(command.Text);
    // The same text again runs no handler, but its codes may be new.
    StoreTextCodes(codes, edit->Text());
}

void TfoMain::StoreTextCodes(TTextCodes& codes, const std::string& text) {
    if (codes.Kept && codes.Kept->Shown != text) codes.Kept.reset();
    const std::string stored = codes.Kept ? RdsCodesText(codes.Kept->Codes) : std::string();
    if (stored == codes.Stored) return;
    WriteSetting(codes.Setting, SettingsSubKey, stored);
    codes.Stored = stored;
}

void TfoMain::RestoreTextCodes(TTextCodes& codes, const std::string& text) {
    codes.Stored = SettingsStore::ReadSettingOrEmpty(codes.Setting);
    codes.Kept.reset();
    // Codes another program's text no longer matches (an older version wrote the text) are not used.
    const std::optional<std::string> parsed = RdsCodesFromText(codes.Stored);
    if (parsed && !parsed->empty() && RdsToCodePage(*parsed, SystemCodePageText, codes.Length) == text)
        codes.Kept = TRdsTextCodes{text, *parsed};
}

void TfoMain::Button1Click(TObject*) {
    // Without a card nothing is written: the memory's image and its wear stay as they are.
    if (!CardOnAir()) {
        loggedRds_ = PanelFields(*this, memoryCharacters_);
        LogEvent(StoredNotOnAir(RdsFieldsNamed(*loggedRds_, true)));
        return;
    }
    TPanelValues values(*this);
    UpdateRds(values, memoryCharacters_, [this](const std::string& caption) { Button1->SetCaption(caption); },
              &writtenImage_);
    loggedRds_ = PanelFields(*this, memoryCharacters_);
    LogEvent(RdsUpdated(*loggedRds_, RdsImageBytes));
    CheckRdsWear();
}

void TfoMain::WriteRdsChanges() {
    if (!CardOnAir()) {
        const TRdsFields now = PanelFields(*this, memoryCharacters_);
        const TRdsFields changed = ChangedFields(now, loggedRds_);
        if (!loggedRds_ || RdsFieldsNamed(changed, false) != RdsFieldsNamed(TRdsFields{}, false))
            LogEvent(StoredNotOnAir(RdsFieldsNamed(changed, false)));
        loggedRds_ = now;
        return;
    }
    TPanelValues values(*this);
    const size_t bytes = WriteRdsImageChanges(RdsImage(values, memoryCharacters_), writtenImage_);
    const TRdsFields now = PanelFields(*this, memoryCharacters_);
    if (bytes > 0) LogEvent(RdsChanged(ChangedFields(now, loggedRds_), bytes));
    loggedRds_ = now;
    CheckRdsWear();
}

std::string TfoMain::SetMemoryCharacterSet(TMemoryCharacterSet characters, TRdsWriteDue& write) {
    // Stored first: a setting that cannot be stored changes nothing, as COMMANDPORT.
    WriteSetting(RdsCharacterSetSetting, SettingsSubKey, MemoryCharacterSetName(characters));
    if (characters == memoryCharacters_) return DoneReply();
    LogEvent(CharacterSetChanged(MemoryCharacterSetName(memoryCharacters_), MemoryCharacterSetName(characters)));
    memoryCharacters_ = characters;
    // The texts' bytes that now differ go on air with this round's write.
    write.Changes = true;
    return DoneReply();
}

void TfoMain::RestoreMemoryCharacterSet() {
    const std::string stored = ReadSetting(RdsCharacterSetSetting);
    if (stored == SettingsStore::AbsentText) return;
    const std::optional<TMemoryCharacterSet> characters = MemoryCharacterSetNamed(stored);
    // Reported as the restore reports a malformed value; the texts go as typed.
    if (!characters)
        throw SettingsStore::EMalformedSetting("'" + stored + "' is not a valid RdsCharacterSet value (" +
                                                   AnsiCharacterSetName + " or " + RdsCharacterSetName + ")",
                                               RdsCharacterSetSetting, false);
    memoryCharacters_ = *characters;
}
