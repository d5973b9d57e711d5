// The settings page: its fields, their checks by each setting's own rules (the
// command language, the allow-list, the serial line, the UECP lists, the log), and Apply.
#include "SettingsPage.h"

#include "AddressAllowList.h"
#include "CommandLanguage.h"
#include "Registry.h"
#include "SerialLine.h"
#include "Shell.h"
#include "StationLog.h"
#include "StdCtrls.h"
#include "SysUtils.h"
#include "UecpMessages.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr char PageTitle[] = "SONDEL settings";
constexpr char FontName[] = "MS Sans Serif";
constexpr int FontPoints = 8;
constexpr char OffText[] = "Off";
constexpr char ClosedPort[] = "0";
constexpr char SpeedSeparator = ':';
constexpr char SerialPortsKey[] = "\\HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr char BrowseTitle[] = "Now-playing file";
constexpr char RefusedPrefix[] = "- ";
constexpr char IdleCommand[] = "RTIDLE";
constexpr char IdleSeparator = ',';
constexpr char IdleMinutesReason[] = "the minutes must be 0..1440; empty: never";

// Two columns of groups; each group a caption and rows of a caption, a field and
// the field's refusal under it.
constexpr int Margin = 8;
constexpr int ColumnWidth = 304;
constexpr int GroupGap = 8;
constexpr int RowHeight = 44;
constexpr int GroupBottom = 6;
constexpr int CaptionLeft = 8;
constexpr int CaptionTop = 4;
constexpr int FieldLeft = 92;
constexpr int FieldHeight = 21;
constexpr int RefusalTop = 23;
constexpr int RefusalHeight = 14;
constexpr int ButtonWidth = 75;
constexpr int WideButtonWidth = 100;
constexpr int ButtonHeight = 25;
constexpr int ButtonGap = 8;
constexpr int NarrowField = 80;
constexpr int WideField = 200;
constexpr int PathField = 120;
constexpr int IdleTextMaxLength = static_cast<int>(RadioTextLength);

const TColor RefusalColor = clRed;
const TColor FieldColor = clBlack;
const TColor FieldTextColor = clLime;
const TColor GroupTextColor = clNavy;

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string ReasonOf(const std::string& reply) {
    return reply.rfind(RefusedPrefix, 0) == 0 ? reply.substr(sizeof RefusedPrefix - 1) : reply;
}

// The reason the command language refuses Name=Text; empty when it takes it.
std::string LanguageRefusal(const std::string& name, const std::string& text) {
    const TParsedLine parsed = ParseCommand(name + "=" + text);
    return parsed.Command ? std::string() : ReasonOf(parsed.Reply);
}

// RTIDLE's minutes alone: a comma in them would carry the rest into the idle text.
std::string IdleMinutesRefusal(const std::string& minutes) {
    const TParsedLine parsed = ParseCommand(std::string(IdleCommand) + "=" + minutes);
    const bool number = minutes.find(IdleSeparator) == std::string::npos && parsed.Command;
    return number ? std::string() : IdleMinutesReason;
}

bool IsOff(const std::string& port) { return port.empty() || SameText(port, OffText); }

std::string SerialText(const TSettingsFields& fields) {
    return IsOff(fields.SerialPort) ? std::string() : fields.SerialPort + SpeedSeparator + fields.SerialSpeed;
}

std::vector<std::string> MachineSerialPorts() {
    TRegistry registry(RegistryAccess::Read);
    registry.SetRootKey(TRegistryRoot::rkLocalMachine);
    if (!registry.OpenKey(SerialPortsKey, false)) return {};
    return registry.ReadStringValues();
}

}  // namespace

const std::vector<std::string> SerialSpeeds = {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};

TSettingsFields FieldsOf(const TSettingsValues& values) {
    TSettingsFields fields;
    fields.CommandPort = values.CommandPort == ClosedPort ? std::string() : values.CommandPort;
    fields.CommandPortAllow = values.CommandPortAllow;
    fields.SerialPort = OffText;
    fields.SerialSpeed = std::to_string(TSerialSetting::DefaultSpeed);
    try {
        if (const auto serial = ParseSerialSetting(values.SerialPort)) {
            fields.SerialPort = serial->Name();
            fields.SerialSpeed = std::to_string(serial->Speed);
        }
    } catch (const ESerialLineError&) {
        // Shown as stored, so that the refusal names what is wrong with it.
        fields.SerialPort = values.SerialPort;
    }
    fields.NowPlayingFile = values.NowPlayingFile;
    fields.RadioTextFormat = values.RadioTextFormat;
    fields.RadioTextSkip = values.RadioTextSkip;
    fields.RadioTextIdleText = values.RadioTextIdleText;
    fields.RadioTextIdleMinutes = values.RadioTextIdleMinutes;
    fields.CharacterSet = values.CharacterSet;
    fields.UecpSites = values.UecpSites;
    fields.UecpEncoders = values.UecpEncoders;
    fields.LogDays = values.LogDays;
    return fields;
}

std::vector<TSettingsRefusal> CheckFields(const TSettingsFields& fields) {
    std::vector<TSettingsRefusal> refusals;
    const auto refuse = [&refusals](TSettingsField field, const std::string& reason) {
        if (!reason.empty()) refusals.push_back({field, reason});
    };
    if (!fields.CommandPort.empty()) refuse(TSettingsField::CommandPort, LanguageRefusal("COMMANDPORT", fields.CommandPort));
    try {
        TAddressAllowList::Parse(fields.CommandPortAllow);
    } catch (const EAddressAllowListError& error) {
        refuse(TSettingsField::CommandPortAllow, error.what());
    }
    bool speedListed = false;
    for (const std::string& speed : SerialSpeeds) speedListed = speedListed || speed == fields.SerialSpeed;
    if (!speedListed) refuse(TSettingsField::SerialSpeed, "the speed must be one of 1200..115200");
    if (speedListed && !IsOff(fields.SerialPort)) {
        try {
            ParseSerialSetting(SerialText(fields));
        } catch (const ESerialLineError& error) {
            refuse(TSettingsField::SerialPort, error.Message());
        }
    }
    refuse(TSettingsField::NowPlayingFile, LanguageRefusal("RTFILE", fields.NowPlayingFile));
    refuse(TSettingsField::RadioTextFormat, LanguageRefusal("RTFORMAT", fields.RadioTextFormat));
    refuse(TSettingsField::RadioTextSkip, LanguageRefusal("RTSKIP", fields.RadioTextSkip));
    refuse(TSettingsField::RadioTextIdleText, LanguageRefusal(IdleCommand, IdleSeparator + fields.RadioTextIdleText));
    refuse(TSettingsField::RadioTextIdleMinutes, IdleMinutesRefusal(fields.RadioTextIdleMinutes));
    refuse(TSettingsField::CharacterSet, LanguageRefusal("CHARSET", fields.CharacterSet));
    if (!ParseUecpSites(fields.UecpSites))
        refuse(TSettingsField::UecpSites, UecpSitesRefusal);
    if (!ParseUecpEncoders(fields.UecpEncoders))
        refuse(TSettingsField::UecpEncoders, UecpEncodersRefusal);
    try {
        LogDaysFromSetting(fields.LogDays);
    } catch (const EConvertError& error) {
        refuse(TSettingsField::LogDays, error.what());
    }
    return refusals;
}

TSettingsValues ValuesOf(const TSettingsFields& fields) {
    TSettingsValues values;
    values.CommandPort = fields.CommandPort.empty() ? ClosedPort : fields.CommandPort;
    values.CommandPortAllow = fields.CommandPortAllow;
    values.SerialPort = SerialText(fields);
    values.NowPlayingFile = fields.NowPlayingFile;
    values.RadioTextFormat = fields.RadioTextFormat;
    values.RadioTextSkip = fields.RadioTextSkip;
    values.RadioTextIdleText = fields.RadioTextIdleText;
    values.RadioTextIdleMinutes = fields.RadioTextIdleMinutes;
    values.CharacterSet = fields.CharacterSet;
    values.UecpSites = fields.UecpSites;
    values.UecpEncoders = fields.UecpEncoders;
    values.LogDays = fields.LogDays;
    return values;
}

namespace {

using TValue = std::string TSettingsValues::*;
using TSend = std::string (*)(TSettingsSetters&, const TSettingsValues&);

template <TValue Value, std::string (TSettingsSetters::*Setter)(const std::string&)>
std::string Send(TSettingsSetters& setters, const TSettingsValues& values) {
    return (setters.*Setter)(values.*Value);
}

std::string SendIdle(TSettingsSetters& setters, const TSettingsValues& values) {
    return setters.ChangeRadioTextIdle(values.RadioTextIdleMinutes, values.RadioTextIdleText);
}

// One setter's settings: Value, and Also when the setter takes two.
struct TChange {
    TSettingsField Field;
    TValue Value;
    TValue Also;
    TSend Setter;
};
template <TValue Value, std::string (TSettingsSetters::*Setter)(const std::string&)>
constexpr TChange One(TSettingsField field) {
    return {field, Value, Value, &Send<Value, Setter>};
}
// In the order the setters run.
const TChange Changes[] = {
    One<&TSettingsValues::CommandPort, &TSettingsSetters::ChangeCommandPort>(TSettingsField::CommandPort),
    One<&TSettingsValues::CommandPortAllow, &TSettingsSetters::ChangeCommandPortAllow>(TSettingsField::CommandPortAllow),
    One<&TSettingsValues::SerialPort, &TSettingsSetters::ChangeSerialPort>(TSettingsField::SerialPort),
    One<&TSettingsValues::NowPlayingFile, &TSettingsSetters::ChangeNowPlayingFile>(TSettingsField::NowPlayingFile),
    One<&TSettingsValues::RadioTextFormat, &TSettingsSetters::ChangeRadioTextFormat>(TSettingsField::RadioTextFormat),
    One<&TSettingsValues::RadioTextSkip, &TSettingsSetters::ChangeRadioTextSkip>(TSettingsField::RadioTextSkip),
    {TSettingsField::RadioTextIdleMinutes, &TSettingsValues::RadioTextIdleMinutes, &TSettingsValues::RadioTextIdleText,
     &SendIdle},
    One<&TSettingsValues::CharacterSet, &TSettingsSetters::ChangeCharacterSet>(TSettingsField::CharacterSet),
    One<&TSettingsValues::UecpSites, &TSettingsSetters::ChangeUecpSites>(TSettingsField::UecpSites),
    One<&TSettingsValues::UecpEncoders, &TSettingsSetters::ChangeUecpEncoders>(TSettingsField::UecpEncoders),
    One<&TSettingsValues::LogDays, &TSettingsSetters::ChangeLogDays>(TSettingsField::LogDays),
};

}  // namespace

std::vector<TSettingsRefusal> ApplyChanged(TSettingsSetters& setters, TSettingsValues& shown,
                                           const TSettingsValues& typed) {
    std::vector<TSettingsRefusal> refusals;
    for (const TChange& change : Changes) {
        if (shown.*change.Value == typed.*change.Value && shown.*change.Also == typed.*change.Also) continue;
        const std::string reply = change.Setter(setters, typed);
        if (IsDoneReply(reply)) {
            shown.*change.Value = typed.*change.Value;
            shown.*change.Also = typed.*change.Also;
        } else
            refusals.push_back({change.Field, ReasonOf(reply)});
    }
    return refusals;
}

TfoSettings::TfoSettings(TComponent* owner, TSettingsSetters& setters)
    : TForm(owner), setters_(setters), fields_(SettingsFieldCount), refusals_(SettingsFieldCount) {
    SetCaption(PageTitle);
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetBorderIcons({TBorderIcon::biSystemMenu});
    SetPosition(TPosition::poScreenCenter);
    Font().SetName(FontName);
    Font().SetSize(FontPoints);
    SetColor(clBtnFace);

    const auto field = [this](TSettingsField which, TWinControl* control) {
        fields_[static_cast<int>(which)] = control;
        refusals_[static_cast<int>(which)] = AddRefusalLabel(static_cast<TGroupBox*>(control->Parent()),
                                                             (control->Top() - CaptionTop - TGroupBox::CaptionHeight) / RowHeight);
    };
    std::vector<std::string> ports{OffText};
    for (const std::string& port : MachineSerialPorts()) ports.push_back(port);

    // The left column.
    int top = Margin;
    TGroupBox* group = AddGroup("Command port", top, 2);
    field(TSettingsField::CommandPort, AddEdit(group, "Command &port:", 0, NarrowField));
    field(TSettingsField::CommandPortAllow, AddEdit(group, "A&llowed from:", 1, WideField));
    top += group->Height() + GroupGap;
    group = AddGroup("Serial line", top, 2);
    field(TSettingsField::SerialPort, AddList(group, "&Serial port:", 0, NarrowField, TComboBoxStyle::csDropDown, ports));
    field(TSettingsField::SerialSpeed,
          AddList(group, "Sp&eed:", 1, NarrowField, TComboBoxStyle::csDropDownList, SerialSpeeds));
    top += group->Height() + GroupGap;
    group = AddGroup("RDS character set", top, 1);
    field(TSettingsField::CharacterSet, AddList(group, "C&haracter set:", 0, NarrowField, TComboBoxStyle::csDropDownList,
                                                {MemoryCharacterSetName(TMemoryCharacterSet::Ansi),
                                                 MemoryCharacterSetName(TMemoryCharacterSet::Rds)}));
    top += group->Height() + GroupGap;
    group = AddGroup("Log", top, 1);
    field(TSettingsField::LogDays, AddEdit(group, "&Days to keep:", 0, NarrowField));
    LogFolderButton = AddFieldButton(group, "Open lo&g folder", NarrowField, WideButtonWidth);
    LogFolderButton->OnClick = [this](TObject*) {
        ShellExecute(Handle(), "open", setters_.LogFolder(), "", "", ShowCommand::Normal);
    };
    TGroupBox* leftLast = group;

    // The right column.
    top = Margin;
    const int right = Margin + ColumnWidth + GroupGap;
    group = AddGroup("Now-playing file", top, 5);
    group->SetBounds(right, top, ColumnWidth, group->Height());
    field(TSettingsField::NowPlayingFile, AddEdit(group, "&File:", 0, PathField));
    BrowseButton = AddFieldButton(group, "&Browse...", PathField, ButtonWidth);
    BrowseButton->OnClick = [this](TObject*) { BrowseClick(); };
    field(TSettingsField::RadioTextFormat, AddEdit(group, "F&ormat:", 1, WideField));
    field(TSettingsField::RadioTextSkip, AddEdit(group, "S&kip phrases:", 2, WideField));
    TEdit* idleText = AddEdit(group, "Idle &text:", 3, WideField);
    idleText->SetMaxLength(IdleTextMaxLength);
    field(TSettingsField::RadioTextIdleText, idleText);
    field(TSettingsField::RadioTextIdleMinutes, AddEdit(group, "Idle &minutes:", 4, NarrowField));
    top += group->Height() + GroupGap;
    group = AddGroup("UECP", top, 2);
    group->SetBounds(right, top, ColumnWidth, group->Height());
    field(TSettingsField::UecpSites, AddEdit(group, "S&ites:", 0, WideField));
    field(TSettingsField::UecpEncoders, AddEdit(group, "E&ncoders:", 1, WideField));
    // Both columns end on one line.
    const int bottom = std::max(leftLast->Top() + leftLast->Height(), group->Top() + group->Height());
    for (TGroupBox* last : {leftLast, group}) last->SetHeight(bottom - last->Top());

    const int clientWidth = right + ColumnWidth + Margin;
    const int buttonsTop = bottom + GroupGap;
    const auto addButton = [this, buttonsTop, clientWidth](const std::string& caption, int fromRight) {
        auto* button = new TButton(this);
        button->SetParent(this);
        button->SetCaption(caption);
        button->SetBounds(clientWidth - Margin - fromRight * (ButtonWidth + ButtonGap) - ButtonWidth, buttonsTop,
                          ButtonWidth, ButtonHeight);
        return button;
    };
    OkButton = addButton("OK", 2);
    OkButton->Default = true;
    OkButton->OnClick = [this](TObject*) {
        if (Apply()) Close();
    };
    CancelButton = addButton("Cancel", 1);
    CancelButton->Cancel = true;
    CancelButton->OnClick = [this](TObject*) { Close(); };
    ApplyButton = addButton("&Apply", 0);
    ApplyButton->OnClick = [this](TObject*) { Apply(); };
    SetClientSize(clientWidth, buttonsTop + ButtonHeight + Margin);
}

TGroupBox* TfoSettings::AddGroup(const std::string& caption, int top, int rows) {
    auto* group = new TGroupBox(this);
    group->SetParent(this);
    group->SetCaption(caption);
    group->SetParentFont(false);
    group->Font().SetStyle({TFontStyle::fsBold});
    group->Font().SetColor(GroupTextColor);
    group->SetBounds(Margin, top, ColumnWidth, TGroupBox::CaptionHeight + rows * RowHeight + GroupBottom);
    return group;
}

TLabel* TfoSettings::AddCaption(TGroupBox* group, const std::string& caption, int row, TWinControl* control) {
    auto* label = new TLabel(this);
    label->SetParent(group);
    label->SetParentFont(false);
    label->Font().Assign(Font());
    label->SetTransparent(true);
    label->SetCaption(caption);
    label->SetBounds(CaptionLeft, TGroupBox::CaptionHeight + CaptionTop + row * RowHeight + 3, label->Width(),
                     label->Height());
    label->FocusControl = control;
    return label;
}

TEdit* TfoSettings::AddEdit(TGroupBox* group, const std::string& caption, int row, int width) {
    auto* edit = new TEdit(this);
    edit->SetParent(group);
    edit->SetParentFont(false);
    edit->Font().Assign(Font());
    edit->Font().SetColor(FieldTextColor);
    edit->SetColor(FieldColor);
    edit->SetBounds(FieldLeft, TGroupBox::CaptionHeight + CaptionTop + row * RowHeight, width, FieldHeight);
    AddCaption(group, caption, row, edit);
    return edit;
}

TComboBox* TfoSettings::AddList(TGroupBox* group, const std::string& caption, int row, int width, TComboBoxStyle style,
                                const std::vector<std::string>& items) {
    auto* list = new TComboBox(this);
    list->SetParent(group);
    list->SetStyle(style);
    list->SetParentFont(false);
    list->Font().Assign(Font());
    list->Font().SetColor(FieldTextColor);
    list->SetColor(FieldColor);
    list->SetBounds(FieldLeft, TGroupBox::CaptionHeight + CaptionTop + row * RowHeight, width, FieldHeight);
    for (const std::string& item : items) list->AddItem(item);
    AddCaption(group, caption, row, list);
    return list;
}

TButton* TfoSettings::AddFieldButton(TGroupBox* group, const std::string& caption, int fieldWidth, int width) {
    auto* button = new TButton(this);
    button->SetParent(group);
    button->SetCaption(caption);
    button->SetParentFont(false);
    button->Font().Assign(Font());
    button->SetBounds(FieldLeft + fieldWidth + ButtonGap, TGroupBox::CaptionHeight + CaptionTop - 2, width,
                      ButtonHeight - 2);
    return button;
}

TLabel* TfoSettings::AddRefusalLabel(TGroupBox* group, int row) {
    auto* label = new TLabel(this);
    label->SetParent(group);
    label->SetAutoSize(false);
    label->SetTransparent(true);
    label->SetParentFont(false);
    label->Font().Assign(Font());
    label->Font().SetColor(RefusalColor);
    // The row's whole width, under its caption too; a reason longer still shows whole as its hint.
    label->SetShowHint(true);
    label->SetBounds(CaptionLeft, TGroupBox::CaptionHeight + CaptionTop + row * RowHeight + RefusalTop,
                     ColumnWidth - CaptionLeft - Margin, RefusalHeight);
    return label;
}

TWinControl* TfoSettings::FieldControl(TSettingsField field) const { return fields_[static_cast<int>(field)]; }

std::string TfoSettings::RefusalText(TSettingsField field) const { return refusals_[static_cast<int>(field)]->Caption(); }

TSettingsFields TfoSettings::TypedFields() const {
    const auto text = [this](TSettingsField field) { return FieldControl(field)->Text(); };
    TSettingsFields fields;
    fields.CommandPort = Trim(text(TSettingsField::CommandPort));
    fields.CommandPortAllow = text(TSettingsField::CommandPortAllow);
    fields.SerialPort = Trim(text(TSettingsField::SerialPort));
    fields.SerialSpeed = text(TSettingsField::SerialSpeed);
    fields.NowPlayingFile = text(TSettingsField::NowPlayingFile);
    fields.RadioTextFormat = text(TSettingsField::RadioTextFormat);
    fields.RadioTextSkip = text(TSettingsField::RadioTextSkip);
    fields.RadioTextIdleText = text(TSettingsField::RadioTextIdleText);
    fields.RadioTextIdleMinutes = Trim(text(TSettingsField::RadioTextIdleMinutes));
    fields.CharacterSet = text(TSettingsField::CharacterSet);
    fields.UecpSites = text(TSettingsField::UecpSites);
    fields.UecpEncoders = text(TSettingsField::UecpEncoders);
    fields.LogDays = Trim(text(TSettingsField::LogDays));
    return fields;
}

void TfoSettings::ShowFields(const TSettingsFields& fields) {
    const auto show = [this](TSettingsField field, const std::string& text) {
        TWinControl* control = FieldControl(field);
        auto* list = dynamic_cast<TComboBox*>(control);
        if (list && list->Style() == TComboBoxStyle::csDropDownList) {
            int index = -1;
            for (int i = 0; i < list->ItemCount(); ++i)
                if (SameText(list->Item(i), text)) index = i;
            list->SetItemIndex(index);
            return;
        }
        control->SetText(text);
    };
    show(TSettingsField::CommandPort, fields.CommandPort);
    show(TSettingsField::CommandPortAllow, fields.CommandPortAllow);
    show(TSettingsField::SerialPort, fields.SerialPort);
    show(TSettingsField::SerialSpeed, fields.SerialSpeed);
    show(TSettingsField::NowPlayingFile, fields.NowPlayingFile);
    show(TSettingsField::RadioTextFormat, fields.RadioTextFormat);
    show(TSettingsField::RadioTextSkip, fields.RadioTextSkip);
    show(TSettingsField::RadioTextIdleText, fields.RadioTextIdleText);
    show(TSettingsField::RadioTextIdleMinutes, fields.RadioTextIdleMinutes);
    show(TSettingsField::CharacterSet, fields.CharacterSet);
    show(TSettingsField::UecpSites, fields.UecpSites);
    show(TSettingsField::UecpEncoders, fields.UecpEncoders);
    show(TSettingsField::LogDays, fields.LogDays);
}

void TfoSettings::ClearRefusals() {
    for (TLabel* label : refusals_) {
        label->SetCaption("");
        label->SetHint("");
    }
}

void TfoSettings::ShowStored() {
    const TSettingsFields fields = FieldsOf(setters_.StoredSettings());
    // What Apply compares with: the stored settings as the fields write them.
    shown_ = ValuesOf(fields);
    ShowFields(fields);
    ClearRefusals();
}

bool TfoSettings::Apply() {
    ClearRefusals();
    const TSettingsFields fields = TypedFields();
    std::vector<TSettingsRefusal> refusals = CheckFields(fields);
    if (refusals.empty()) {
        const TSettingsValues typed = ValuesOf(fields);
        refusals = ApplyChanged(setters_, shown_, typed);
    }
    for (const TSettingsRefusal& refusal : refusals) {
        TLabel* label = refusals_[static_cast<int>(refusal.Field)];
        label->SetCaption(refusal.Reason);
        label->SetHint(refusal.Reason);
    }
    if (!refusals.empty()) FieldControl(refusals.front().Field)->SetFocus();
    return refusals.empty();
}

void TfoSettings::BrowseClick() {
    TWinControl* path = FieldControl(TSettingsField::NowPlayingFile);
    const std::string chosen = BrowseForFile(Handle(), BrowseTitle, path->Text());
    if (!chosen.empty()) path->SetText(chosen);
}

void TfoSettings::Present() {
    if (!Visible()) {
        ShowStored();
        Show();
    }
    BringToFront();
}
