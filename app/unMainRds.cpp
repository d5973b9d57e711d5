// The RDS panel of the main window: each edit and list stored as it changes,
// and "Update RDS" writing the panel's values into the card's RDS memory.
#include "unMain.h"

#include "CommandLanguage.h"

#include "RdsUpdate.h"
#include "StationLogLines.h"
#include "SettingsStore.h"
#include "StdCtrls.h"
#include "SysUtils.h"
#include "VrEdit.h"

namespace {

using SettingsStore::SettingsSubKey;
using SettingsStore::WriteSetting;

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

private:
    TfoMain& form_;
};

std::optional<int> Selected(const TComboBox* list) {
    if (list->ItemIndex() < 0) return std::nullopt;
    return list->ItemIndex();
}

TRdsFields PanelFields(const TfoMain& form) {
    TRdsFields fields;
    fields.ProgramService = form.VrStrEdit1->Text();
    fields.RadioText = form.VrStrEdit2->Text();
    fields.Pty = Selected(form.ComboBox1);
    const std::string pi = PiText(form.ComboBox2->ItemIndex(), form.ComboBox3->ItemIndex(), form.ComboBox4->ItemIndex());
    if (!pi.empty()) fields.Pi = pi;
    fields.Tp = Selected(form.ComboBox5);
    fields.MusicSpeech = Selected(form.ComboBox6);
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

void TfoMain::VrStrEdit1Change(TObject*) { WriteSetting("PS", SettingsSubKey, VrStrEdit1->Text()); }
void TfoMain::VrStrEdit2Change(TObject*) { WriteSetting("RT", SettingsSubKey, VrStrEdit2->Text()); }

void TfoMain::Button1Click(TObject*) {
    TPanelValues values(*this);
    UpdateRds(values, [this](const std::string& caption) { Button1->SetCaption(caption); }, &writtenImage_);
    loggedRds_ = PanelFields(*this);
    LogEvent(RdsUpdated(*loggedRds_, RdsImageBytes));
}

void TfoMain::WriteRdsChanges() {
    TPanelValues values(*this);
    const size_t bytes = WriteRdsImageChanges(RdsImage(values), writtenImage_);
    const TRdsFields now = PanelFields(*this);
    if (bytes > 0) LogEvent(RdsChanged(ChangedFields(now, loggedRds_), bytes));
    loggedRds_ = now;
}
