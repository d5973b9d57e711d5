// The settings page "SONDEL settings": every setting of the ways in on one page,
// checked field by field before any is applied, and applied through the setters of
// whoever owns the ways in (the main window today).
#pragma once

#include "Form.h"
#include "StdCtrls.h"

#include <optional>
#include <string>
#include <vector>


// The settings as the registry holds them.
struct TSettingsValues {
    // "7000"; "0": no command port.
    std::string CommandPort;
    // "192.168.1.20, 10.0.5.0/24"; empty: 127.0.0.1 only.
    std::string CommandPortAllow;
    // "COM2:19200"; empty: no serial line.
    std::string SerialPort;
    // A full path; empty: none.
    std::string NowPlayingFile;
    // The file's text rules; empty minutes: never idle.
    std::string RadioTextFormat;
    std::string RadioTextSkip;
    std::string RadioTextIdleText;
    std::string RadioTextIdleMinutes;
    // "ANSI" or "RDS".
    std::string CharacterSet;
    // Comma-separated addresses; empty: only 0.
    std::string UecpSites;
    std::string UecpEncoders;
    // Decimal days; empty: the default.
    std::string LogDays;
};

// One setter per setting. Each checks Text, stores it, applies it, logs it with the
// way in `window`, and returns the reply text: "+", or "- " and the reason.
class TSettingsSetters {
public:
    virtual ~TSettingsSetters() = default;
    virtual TSettingsValues StoredSettings() = 0;
    virtual std::string ChangeCommandPort(const std::string& text) = 0;
    virtual std::string ChangeCommandPortAllow(const std::string& text) = 0;
    virtual std::string ChangeSerialPort(const std::string& text) = 0;
    virtual std::string ChangeNowPlayingFile(const std::string& text) = 0;
    virtual std::string ChangeRadioTextFormat(const std::string& text) = 0;
    virtual std::string ChangeRadioTextSkip(const std::string& text) = 0;
    // The minutes and the text go together, as RTIDLE= gives them.
    virtual std::string ChangeRadioTextIdle(const std::string& minutes, const std::string& text) = 0;
    virtual std::string ChangeCharacterSet(const std::string& text) = 0;
    virtual std::string ChangeUecpSites(const std::string& text) = 0;
    virtual std::string ChangeUecpEncoders(const std::string& text) = 0;
    virtual std::string ChangeLogDays(const std::string& text) = 0;
    // The folder of the log's day files.
    virtual std::string LogFolder() = 0;
};

// The page's fields, in the page's order.
enum class TSettingsField {
    CommandPort, CommandPortAllow, SerialPort, SerialSpeed, CharacterSet, LogDays,
    NowPlayingFile, RadioTextFormat, RadioTextSkip, RadioTextIdleText, RadioTextIdleMinutes, UecpSites, UecpEncoders
};
constexpr int SettingsFieldCount = 13;

// What the page's fields hold as typed.
struct TSettingsFields {
    // Empty: off.
    std::string CommandPort;
    std::string CommandPortAllow;
    // "COM2"; empty or "Off": off.
    std::string SerialPort;
    std::string SerialSpeed;
    std::string NowPlayingFile;
    std::string RadioTextFormat;
    std::string RadioTextSkip;
    std::string RadioTextIdleText;
    std::string RadioTextIdleMinutes;
    std::string CharacterSet;
    std::string UecpSites;
    std::string UecpEncoders;
    std::string LogDays;
};

struct TSettingsRefusal {
    TSettingsField Field;
    std::string Reason;
};

// The fields that show Values.
TSettingsFields FieldsOf(const TSettingsValues& values);
// Every field checked by the rules of its setting: the refusals (none when all are
// fine), or the settings the fields make.
std::vector<TSettingsRefusal> CheckFields(const TSettingsFields& fields);
// The settings that checked Fields make.
TSettingsValues ValuesOf(const TSettingsFields& fields);
// Sends each setting of Typed that differs from Shown through its setter, and Shown
// takes each that went through: the refusals of the setters (a port in use), none
// when each went through.
std::vector<TSettingsRefusal> ApplyChanged(TSettingsSetters& setters, TSettingsValues& shown,
                                           const TSettingsValues& typed);

// The serial speeds offered.
extern const std::vector<std::string> SerialSpeeds;

class TfoSettings : public TForm {
public:
    TfoSettings(TComponent* owner, TSettingsSetters& setters);

    // Shows the stored settings in the fields, every refusal cleared.
    void ShowStored();
    // Checks every field; when all are fine, applies the changed ones: whether
    // everything went through (a refusal stands next to its field otherwise).
    bool Apply();
    // The text that stands next to Field: empty, or the reason it was refused.
    std::string RefusalText(TSettingsField field) const;
    // The field's own control (an edit or a list).
    TWinControl* FieldControl(TSettingsField field) const;
    // Puts the page on the screen, or brings the open one forward.
    void Present();

    TButton* OkButton;
    TButton* CancelButton;
    TButton* ApplyButton;
    TButton* BrowseButton;
    TButton* LogFolderButton;

private:
    TGroupBox* AddGroup(const std::string& caption, int top, int rows);
    TLabel* AddCaption(TGroupBox* group, const std::string& caption, int row, TWinControl* control);
    TEdit* AddEdit(TGroupBox* group, const std::string& caption, int row, int width);
    // A button beside the first row's field of FieldWidth.
    TButton* AddFieldButton(TGroupBox* group, const std::string& caption, int fieldWidth, int width);
    TComboBox* AddList(TGroupBox* group, const std::string& caption, int row, int width, TComboBoxStyle style,
                       const std::vector<std::string>& items);
    TLabel* AddRefusalLabel(TGroupBox* group, int row);
    TSettingsFields TypedFields() const;
    void ShowFields(const TSettingsFields& fields);
    void ClearRefusals();
    void BrowseClick();

    TSettingsSetters& setters_;
    TSettingsValues shown_;
    std::vector<TWinControl*> fields_;
    std::vector<TLabel*> refusals_;
};
