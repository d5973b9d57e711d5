// The main window's controls as the window lays them out: positions, captions,
// hints, colours and fonts of every control, in creation (and drawing) order.
#include "unMain.h"

#include "RdsUpdate.h"
#include "StdCtrls.h"
#include "VrArrow.h"
#include "VrBorder.h"
#include "VrCheckLed.h"
#include "VrControls.h"
#include "VrEdit.h"
#include "VrGradient.h"
#include "VrMatrix.h"
#include "VrNavigator.h"
#include "VrScrollText.h"
#include "VrTrackBar.h"
#include "VrTrayIcon.h"

#include <iterator>

namespace {

constexpr char IconResource[] = "MAINICON";
constexpr char DesignFrequencyText[] = "100.000MHz";
constexpr char DesignProgrammeService[] = "PC RADIO";
constexpr char DesignRadiotext[] = "PC RADIO, NON-STOP LATEST HITS!";
constexpr char TrayDesignHint[] = "Sondel ultra 3.0";
constexpr char NoticeOpening[] = "(c) 2004 Dravik Electronics Ltd. - visit ";
constexpr char NoticeClosing[] = " for support, program updates and latest information!";
constexpr char RdsLogoResource[] = "RDSLOGO";
constexpr char NoticeFontName[] = "Orbit-B BT";
constexpr char WindowFontName[] = "MS Sans Serif";

constexpr int DesignLeft = 538;
constexpr int DesignTop = 177;
constexpr int DesignClientWidth = 386;
constexpr int DesignClientHeight = 316;
constexpr int WindowFontPoints = 8;
constexpr int CheckLedFontPoints = 8;
constexpr int EditFontPoints = 10;
constexpr int NoticeFontPoints = 12;
constexpr int MatrixCells = 10;
constexpr int DisplayBevelLine = 1;   // each line of the display's frame, in pixels
constexpr int NoSpace = 0;
constexpr int NoticeInterval = 25;   // milliseconds per scroll step
constexpr int NoticeEdgeWidth = 10;
constexpr int PowerLevels = 15;
constexpr int PowerTickStep = 3;
constexpr int PowerBorderWidth = 6;
constexpr int ProgrammeServiceLength = 8;
constexpr int RadiotextLength = 64;
constexpr int ListHeight = 21;

struct TPlace {
    int Left, Top, Width, Height;
};

struct TSpot {
    int Left, Top;
};

struct TListPlace {
    int Left, Top, Width;
};

void Place(TControl* control, TWinControl* parent, const TPlace& place) {
    control->SetParent(parent);
    control->SetBounds(place.Left, place.Top, place.Width, place.Height);
}

void ShowHintText(TControl* control, const std::string& hint) {
    control->SetHint(hint);
    control->SetShowHint(true);
}

TVrCheckLed* NewCheckLed(TWinControl* form, const TPlace& place, const std::string& caption,
                         const std::string& hint) {
    TVrCheckLed* led = new TVrCheckLed(form);
    Place(led, form, place);
    led->SetCaption(caption);
    ShowHintText(led, hint);
    led->Palette().SetLow(clGreen);
    led->Palette().SetHigh(clLime);
    led->SetColor(clBlue);
    led->SetParentFont(false);
    led->Font().SetStyle({TFontStyle::fsBold});
    led->Font().SetSize(CheckLedFontPoints);
    led->Font().SetColor(clWindow);
    return led;
}

void StyleLabel(TLabel* label, const std::string& caption) {
    label->SetCaption(caption);
    label->SetTransparent(true);
    label->SetParentFont(false);
    label->Font().SetColor(clWhite);
    label->Font().SetStyle({TFontStyle::fsBold});
}

void StyleList(TComboBox* list) {
    list->SetColor(clBlack);
    list->SetParentFont(false);
    list->Font().SetColor(clLime);
}

void StyleColorBox(TColorBox* box) {
    box->SetHint("Click to select background color");
    box->SetShowHint(true);
    box->SetColor(clBlack);
    box->SetSelected(clTeal);
}

void StyleEdit(TVrStrEdit* edit, const std::string& text, int maxLength) {
    edit->SetBorderStyle(TBorderStyle::bsNone);
    edit->SetParentFont(false);
    edit->Font().SetStyle({TFontStyle::fsBold});
    edit->Font().SetSize(EditFontPoints);
    edit->Font().SetColor(clLime);
    edit->SetMaxLength(maxLength);
    edit->SetText(text);
}

}  // namespace

void TfoMain::CreateControls() {
    SetCaption(ApplicationTitle);
    SetBorderStyle(TFormBorderStyle::bsSingle);
    SetBorderIcons({TBorderIcon::biSystemMenu, TBorderIcon::biMinimize});
    SetBounds(DesignLeft, DesignTop, Width(), Height());
    SetClientSize(DesignClientWidth, DesignClientHeight);
    Font().SetName(WindowFontName);
    Font().SetSize(WindowFontPoints);
    SetColor(clBtnFace);
    Icon().LoadFromResourceName(IconResource);

    VrGradient1 = new TVrGradient(this);
    Place(VrGradient1, this, {0, -56, 385, 370});
    VrGradient1->SetStartColor(clRed);
    VrGradient1->SetEndColor(clFuchsia);
    VrGradient1->SetDirection(TVrGradDirection::gdLeftRightHalf);

    VrBorder1 = new TVrBorder(this);
    Place(VrBorder1, this, {8, 48, 217, 73});
    VrBorder1->SetStyle(TVrBorderStyle::bsLowered);

    VrArrow1 = new TVrArrow(this);
    Place(VrArrow1, this, {200, 8, 33, 25});
    ShowHintText(VrArrow1, "Click to show/hide extra options");
    VrArrow1->SetActive(true);
    VrArrow1->SetDirection(TVrArrowDirection::pdRight);
    VrArrow1->Palette().SetLow(clGreen);
    VrArrow1->Palette().SetHigh(clLime);
    VrArrow1->SetColor(clBlue);

    VrMatrix1 = new TVrMatrix(this);
    Place(VrMatrix1, this, {16, 56, 168, 30});
    ShowHintText(VrMatrix1, "Frequency display");
    VrMatrix1->SetLeds(MatrixCells);
    VrMatrix1->SetThreaded(true);
    VrMatrix1->Palette().SetLow(clGreen);
    VrMatrix1->Palette().SetHigh(clLime);
    VrMatrix1->SetColor(clBlack);
    TVrBevel& bevel = VrMatrix1->Bevel();
    bevel.SetOuterOutline(TVrBevelOutlineStyle::osOuter);
    bevel.SetOuterStyle(TVrBevelStyle::bsLowered);
    bevel.SetOuterWidth(DisplayBevelLine);
    bevel.SetOuterSpace(NoSpace);
    bevel.SetInnerOutline(TVrBevelOutlineStyle::osInner);
    bevel.SetInnerStyle(TVrBevelStyle::bsLowered);
    bevel.SetInnerWidth(DisplayBevelLine);
    bevel.SetInnerSpace(DisplayBevelLine);
    bevel.SetInnerColor(clBlack);
    bevel.SetBorderWidth(NoSpace);
    VrMatrix1->SetText(DesignFrequencyText);

    VrBorder2 = new TVrBorder(this);
    Place(VrBorder2, this, {8, 136, 369, 169});
    VrBorder2->SetHint("RDS settings");
    VrBorder2->SetStyle(TVrBorderStyle::bsLowered);

    VrScrollText1 = new TVrScrollText(this);
    Place(VrScrollText1, this, {232, 98, 113, 25});
    ShowHintText(VrScrollText1, "Click to visit our website!");
    VrScrollText1->SetCursor(crVrHandPoint);
    VrScrollText1->SetThreaded(true);
    VrScrollText1->SetInterval(NoticeInterval);
    VrScrollText1->SetEdgeWidth(NoticeEdgeWidth);
    VrScrollText1->SetScrollDirection(TScrollDirection::sdRightToLeft);
    VrScrollText1->SetParentFont(false);
    VrScrollText1->Font().SetName(NoticeFontName);
    VrScrollText1->Font().SetSize(NoticeFontPoints);
    VrScrollText1->Font().SetColor(clLime);
    VrScrollText1->SetColor(clBlack);
    VrScrollText1->SetCaption(NoticeOpening + std::string(SupportAddress) + NoticeClosing);
    VrScrollText1->SetActive(true);

    const TSpot labels[] = {{16, 152}, {16, 176}, {16, 208}, {184, 208}, {184, 240}, {112, 272}, {16, 272}, {16, 240}};
    const char* const captions[] = {"PS:", "RT:", "PTY:", "Country Code:", "Program reference:",
                                    "Music/speech:", "TP:", "Area coverage:"};
    TLabel** const labelFields[] = {&Label1, &Label2, &Label3, &Label4, &Label5, &Label6, &Label7, &Label13};
    for (size_t i = 0; i < std::size(labelFields); ++i) {
        TLabel* label = new TLabel(this);
        label->SetParent(this);
        label->SetLeft(labels[i].Left);
        label->SetTop(labels[i].Top);
        StyleLabel(label, captions[i]);
        *labelFields[i] = label;
    }

    Image1 = new TImage(this);
    Place(Image1, this, {272, 144, 96, 25});
    Image1->Picture().LoadFromResourceName(RdsLogoResource);

    CreateInputControls();
}

void TfoMain::CreateInputControls() {
    VrCheckLed1 = NewCheckLed(this, {80, 8, 65, 25}, "Stereo", "Click to select Stereo/Mono");
    VrCheckLed2 = NewCheckLed(this, {8, 8, 73, 25}, "Power", "Click to turn power ON/OFF");

    struct TStepButton {
        TVrMediaButton** Field;
        int Left;
        TVrButtonType Type;
        const char* Hint;
    };
    const TStepButton stepButtons[] = {
        {&VrMediaButton1, 16, TVrButtonType::btPrev, "Decrease by 1MHz"},
        {&VrMediaButton4, 56, TVrButtonType::btBack, "Decrease by 100KHz"},
        {&VrMediaButton2, 112, TVrButtonType::btStep, "Increase by 100KHz"},
        {&VrMediaButton3, 152, TVrButtonType::btNext, "Increase by 1MHz"},
    };
    for (const TStepButton& step : stepButtons) {
        TVrMediaButton* button = new TVrMediaButton(this);
        Place(button, this, {step.Left, 88, 33, 25});
        button->SetButtonType(step.Type);
        ShowHintText(button, step.Hint);
        *step.Field = button;
    }

    VrCheckLed3 = NewCheckLed(this, {232, 8, 145, 25}, "Shut down at exit   ",
                              "This will shut down the transmitter, when you exit this program");
    VrCheckLed4 = NewCheckLed(this, {232, 38, 145, 25}, "Start with Windows",
                              "This will start this program with Windows");
    VrCheckLed5 = NewCheckLed(this, {232, 68, 145, 25}, "To tray at start      ",
                              "Moves driver to tray at start");

    VrTrackBar1 = new TVrTrackBar(this);
    VrTrackBar1->SetOrientation(TVrOrientation::voVertical);
    Place(VrTrackBar1, this, {192, 56, 25, 57});
    ShowHintText(VrTrackBar1, "Output power adjustment");
    VrTrackBar1->SetMinValue(0);
    VrTrackBar1->SetMaxValue(PowerLevels);
    VrTrackBar1->SetFrequency(PowerTickStep);
    VrTrackBar1->SetBorderWidth(PowerBorderWidth);
    VrTrackBar1->SetGutterColor(clLime);
    VrTrackBar1->SetColor(clBlue);
    VrTrackBar1->SetTabStop(true);

    VrCheckLed7 = NewCheckLed(this, {144, 8, 57, 25}, "RDS", "Click to turn the RDS encoder ON or OFF");

    VrStrEdit1 = new TVrStrEdit(this);
    Place(VrStrEdit1, this, {40, 152, 113, 16});
    StyleEdit(VrStrEdit1, DesignProgrammeService, ProgrammeServiceLength);

    ColorBox1 = new TColorBox(this);
    Place(ColorBox1, this, {351, 96, 30, 16});
    StyleColorBox(ColorBox1);

    VrStrEdit2 = new TVrStrEdit(this);
    Place(VrStrEdit2, this, {40, 176, 329, 16});
    StyleEdit(VrStrEdit2, DesignRadiotext, RadiotextLength);

    ComboBox1 = new TComboBox(this);
    Place(ComboBox1, this, {48, 204, 105, ListHeight});
    ComboBox1->SetStyle(TComboBoxStyle::csDropDownList);
    StyleList(ComboBox1);

    ColorBox2 = new TColorBox(this);
    Place(ColorBox2, this, {351, 108, 30, 16});
    StyleColorBox(ColorBox2);

    const TListPlace lists[] = {{296, 204, 49}, {112, 236, 41}, {296, 236, 49}, {56, 268, 41}, {208, 268, 49}};
    TComboBox** const listFields[] = {&ComboBox2, &ComboBox3, &ComboBox4, &ComboBox5, &ComboBox6};
    for (size_t i = 0; i < std::size(listFields); ++i) {
        TComboBox* list = new TComboBox(this);
        Place(list, this, {lists[i].Left, lists[i].Top, lists[i].Width, ListHeight});
        list->SetStyle(TComboBoxStyle::csDropDown);
        StyleList(list);
        *listFields[i] = list;
    }

    Button1 = new TButton(this);
    Place(Button1, this, {288, 272, 73, 25});
    Button1->SetCaption(UpdateRdsCaption);

    VrTrayIcon2 = new TVrTrayIcon(this);
    VrTrayIcon2->SetHint(TrayDesignHint);
    VrTrayIcon2->SetShowHint(true);
    VrTrayIcon2->SetHideTaskBtn(true);
    VrTrayIcon2->SetLeftBtnPopup(true);
    VrTrayIcon2->SetIcon(Icon());
}
