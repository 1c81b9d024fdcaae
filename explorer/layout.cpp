// The explorer's window as designed, and start-up: controls at their
// design-time places, the menus, the wiring of events to handlers, and
// Form_Load, which sets the state and places everything for the screen.
#include "form1.h"

#include <QMenu>

#include "explorer_features.h"
#include "field_room.h"
#include "toolkit/numbers.h"
#include "toolkit/units.h"

namespace explorer {

namespace {

// The offsets that place the buttons and fields are counted in pixels of a
// standard screen, 15 twips each, where a button is 80 x 40 pixels and a
// field 112 pixels wide. The controls themselves are sized in twips, so on a
// screen with finer pixels (a high-DPI screen) they take more pixels; the
// offsets grow with them, or the buttons would overlap one another and the
// last would fall off the bottom of the screen. On a standard screen these
// are the plain pixel counts.
std::int32_t standardPixelsX(int pixels)
{
    return tk::RoundToInt32(tk::ScaleX(float(pixels * 15)));
}

std::int32_t standardPixelsY(int pixels)
{
    return tk::RoundToInt32(tk::ScaleY(float(pixels * 15)));
}

} // namespace

Form1::Form1() : tk::Form(QStringLiteral("Brenn's Tolv Quenfeld Program"))
{
    createControls();
    connectHandlers();
    Features = new ExplorerFeatures(*this);
}

void Form1::createControls()
{
    QWidget* area = client();
    setClientSizeTwips(13755, 10485);

    // Created in tab order: the canvas first, so it has the focus at start.
    Picture1 = new tk::PictureBox(area);
    Picture1->setWidth(int(std::lround(tk::ScaleX(10620))));
    Picture1->setHeight(int(std::lround(tk::ScaleY(7935))));
    Picture1->setAccessibleName(QStringLiteral("Picture"));
    // A selection may be dragged from the start, so the canvas shows the
    // crosshair before the first pass as it does after every pass.
    Picture1->setMousePointer(tk::PointerCross);

    Command1 = new tk::CommandButton(QStringLiteral("&Go"), area);
    Command1->placeTwips(11760, 6600, 1200, 600);
    Command2 = new tk::CommandButton(QStringLiteral("&Pause"), area);
    Command2->placeTwips(11760, 7800, 1200, 600);
    Command3 = new tk::CommandButton(QStringLiteral("E&xit"), area);
    Command3->placeTwips(11760, 9000, 1200, 600);

    // The fields carry no visible labels; what each holds is told to screen
    // readers and in a tooltip.
    const struct {
        tk::TextBox** box;
        int top;
        const char* name;
        const char* tip;
    } fields[] = {
        {&Text1, 150, "Left edge", "Left edge: real part at the first column"},
        {&Text2, 600, "Right edge", "Right edge: real part at the last column"},
        {&Text3, 1200, "Bottom edge", "Bottom edge: imaginary part at the bottom row"},
        {&Text4, 1650, "Top edge", "Top edge: imaginary part at the top row"},
        {&Text5, 2250, "Width", "Width: right edge minus left edge"},
        {&Text6, 2700, "Height", "Height: top edge minus bottom edge"},
    };
    for (const auto& f : fields) {
        *f.box = new tk::TextBox(area);
        (*f.box)->placeTwips(11520, f.top, 1680, 360);
        (*f.box)->setAccessibleName(QString::fromLatin1(f.name));
        (*f.box)->setToolTip(QString::fromLatin1(f.tip));
    }

    FileMenu = addMenu(QStringLiteral("&File"));
    OpenMenu =
        new tk::MenuItem(QStringLiteral("&Open"), QKeySequence(Qt::CTRL | Qt::Key_O), 0, this);
    SaveMenu =
        new tk::MenuItem(QStringLiteral("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S), 0, this);
    FileMenu->addAction(OpenMenu);
    FileMenu->addAction(SaveMenu);
    OptionsMenu = addMenu(QStringLiteral("&Options"));
    RatioCheck = new tk::MenuItem(QStringLiteral("Maintain 4:3 &Ratio"),
                                  QKeySequence(Qt::CTRL | Qt::Key_R), 0, this);
    RatioCheck->setChecked(true);
    OptionsMenu->addAction(RatioCheck);
}

void Form1::connectHandlers()
{
    tk::Handle(Command1, &tk::CommandButton::Click, this, &Form1::Command1_Click);
    tk::Handle(Command2, &tk::CommandButton::Click, this, &Form1::Command2_Click);
    tk::Handle(Command3, &tk::CommandButton::Click, this, &Form1::Command3_Click);

    tk::Handle(Picture1, &tk::PictureBox::MouseDown, this, &Form1::Picture1_MouseDown);
    tk::Handle(Picture1, &tk::PictureBox::MouseMove, this, &Form1::Picture1_MouseMove);
    tk::Handle(Picture1, &tk::PictureBox::MouseUp, this, &Form1::Picture1_MouseUp);

    const struct {
        tk::TextBox* box;
        void (Form1::*change)();
        void (Form1::*gotFocus)();
        void (Form1::*lostFocus)();
    } fields[] = {
        {Text1, &Form1::Text1_change, &Form1::Text1_GotFocus, &Form1::Text1_LostFocus},
        {Text2, &Form1::Text2_Change, &Form1::Text2_GotFocus, &Form1::Text2_LostFocus},
        {Text3, &Form1::Text3_Change, &Form1::Text3_GotFocus, &Form1::Text3_LostFocus},
        {Text4, &Form1::Text4_Change, &Form1::Text4_GotFocus, &Form1::Text4_LostFocus},
        {Text5, &Form1::Text5_Change, &Form1::Text5_GotFocus, &Form1::Text5_LostFocus},
        {Text6, &Form1::Text6_Change, &Form1::Text6_GotFocus, &Form1::Text6_LostFocus},
    };
    for (const auto& f : fields) {
        tk::Handle(f.box, &tk::TextBox::Change, this, f.change);
        tk::Handle(f.box, &tk::TextBox::GotFocus, this, f.gotFocus);
        tk::Handle(f.box, &tk::TextBox::LostFocus, this, f.lostFocus);
    }

    tk::Handle(OpenMenu, &tk::MenuItem::Click, this, &Form1::OpenMenu_Click);
    tk::Handle(SaveMenu, &tk::MenuItem::Click, this, &Form1::SaveMenu_Click);
    tk::Handle(RatioCheck, &tk::MenuItem::Click, this, &Form1::RatioCheck_Click);
}

void Form1::Form_Load()
{
    static constexpr std::int32_t Directions[16] = {1, 1, 0, -1, -1, -1, 0, 1,
                                                    1, 1, 0, -1, -1, -1, 0, 1};
    std::copy(std::begin(Directions), std::end(Directions), DirTable);

    XMin = StartView.xMin;
    XMax = StartView.xMax;
    YMin = StartView.yMin;
    YMax = StartView.yMax;

    Running = False;
    KeepRatio = True;
    FieldsStale = True;
    CenterDrag = False;
    CornerBox = False;
    CenterBox = False;

    MaxIter = 256;
    ColorCycle = 255;

    setWindowState(2);
    Refresh();

    ScreenW = tk::RoundToInt32(tk::ScaleX(tk::ScreenWidth()));
    ScreenH = tk::RoundToInt32(tk::ScaleY(tk::ScreenHeight()));
    setWidth(float(ScreenW));
    setHeight(float(ScreenH));

    LastCol = ScreenH - 1;
    LastRow = tk::Div(3 * ScreenH, 4) - 1;
    PicW = LastCol + 1;
    PicH = LastRow + 1;

    Picture1->setWidth(ScreenH);
    Picture1->setHeight(tk::Div(3 * ScreenH, 4));

    const std::int32_t b = ScreenH + tk::Div(ScreenW - ScreenH - standardPixelsX(80), 2);
    Command1->setLeft(b);
    Command2->setLeft(b);
    Command3->setLeft(b);
    Command1->setTop(ScreenH - standardPixelsY(240));
    Command2->setTop(ScreenH - standardPixelsY(180));
    Command3->setTop(ScreenH - standardPixelsY(120));

    UpdateXY();

    const std::int32_t f = ScreenH + tk::Div(ScreenW - ScreenH - standardPixelsX(112), 2);
    for (tk::TextBox* t : {Text1, Text2, Text3, Text4, Text5, Text6})
        t->setLeft(f);
    // The fields then take the room to their right, so that whole numbers
    // show.
    FitFieldsToRoom(*this);

    // Six bands of 32 shades, each from full brightness down to 69, then
    // 63 very dark greys; level 0, the set, is black.
    for (int i = 0; i <= 31; ++i) {
        const int s = 255 - 6 * i;
        Palette[1 + i] = tk::RGB(0, 0, s);
        Palette[33 + i] = tk::RGB(0, s, s);
        Palette[65 + i] = tk::RGB(0, s, 0);
        Palette[97 + i] = tk::RGB(s, s, 0);
        Palette[129 + i] = tk::RGB(s, 0, 0);
        Palette[161 + i] = tk::RGB(s, 0, s);
    }
    for (int i = 1; i <= 63; ++i)
        Palette[192 + i] = tk::RGB(i, i, i);
    Palette[0] = tk::RGB(0, 0, 0);
}

} // namespace explorer
