// The RDS panel of the main window: each edit and list stored as it changes,
// and "Update RDS" writing the panel's values into the card's RDS memory.
#include "unMain.h"

#include "RdsUpdate.h"
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
}

void TfoMain::WriteRdsChanges() {
    TPanelValues values(*this);
    WriteRdsImageChanges(RdsImage(values), writtenImage_);
}
