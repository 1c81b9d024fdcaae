// The explorer's window: its controls, every member of its state in order of
// declaration, and its event handlers and private procedures. The member
// functions are split over files by concern: layout and start-up, view text,
// evaluation, render pass (and, with the interaction, pause, selection,
// ratio lock, fields and pictures).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "deep_render.h"
#include "deep_view_state.h"
#include "engine/level_engine.h"
#include "pass_nesting.h"
#include "plane_view.h"
#include "toolkit/common_dialog.h"
#include "toolkit/controls.h"
#include "toolkit/flags.h"
#include "toolkit/form.h"
#include "toolkit/picture_box.h"

class QMenu;

namespace explorer {
class ExplorerFeatures;
}

namespace explorer {

using tk::False;
using tk::Flag;
using tk::True;

// A two-dimensional byte array indexed (column, row), stored row by row so
// that a canvas row is contiguous.
struct ByteGrid {
    std::vector<std::uint8_t> data;
    std::int32_t cols = 0;
    void recreate(std::int32_t columns, std::int32_t rows)
    {
        cols = columns;
        data.assign(std::size_t(columns) * std::size_t(rows), 0);
    }
    std::uint8_t& operator()(std::int32_t col, std::int32_t row)
    {
        return data[std::size_t(row) * std::size_t(cols) + std::size_t(col)];
    }
    std::uint8_t operator()(std::int32_t col, std::int32_t row) const
    {
        return data[std::size_t(row) * std::size_t(cols) + std::size_t(col)];
    }
    bool empty() const { return data.empty(); }
};

class Form1 : public tk::Form {
    Q_OBJECT
public:
    Form1();

    // Controls, owned by the window.
    tk::PictureBox* Picture1;
    tk::CommandButton* Command1;
    tk::CommandButton* Command2;
    tk::CommandButton* Command3;
    tk::TextBox* Text1;
    tk::TextBox* Text2;
    tk::TextBox* Text3;
    tk::TextBox* Text4;
    tk::TextBox* Text5;
    tk::TextBox* Text6;
    QMenu* FileMenu;
    tk::MenuItem* OpenMenu;
    tk::MenuItem* SaveMenu;
    QMenu* OptionsMenu;
    tk::MenuItem* RatioCheck;
    // The file dialog of the File menu; not a widget, shown only on demand.
    tk::CommonDialog CommonDialog1{this};

    // State, in order of declaration; all zero until Form_Load.
    std::int32_t DirTable[16] = {};
    std::int32_t MaxIter = 0;
    std::int32_t ColorCycle = 0;
    std::vector<double> XValues;
    std::vector<double> YValues;
    Flag Running = 0;
    Flag KeepRatio = 0;
    Flag FieldsStale = 0;
    Flag CenterDrag = 0;
    Flag CornerDrag = 0;
    Flag CenterBox = 0;
    Flag CornerBox = 0;
    std::int32_t ScreenW = 0;
    std::int32_t ScreenH = 0;
    std::int32_t LastCol = 0;
    std::int32_t LastRow = 0;
    std::int32_t PicW = 0;
    std::int32_t PicH = 0;
    std::int32_t AnchorX = 0, AnchorY = 0;
    std::int32_t EndX = 0, EndY = 0;
    std::int32_t CurX = 0, CurY = 0;
    std::int32_t BoxX = 0, BoxY = 0;
    double SavedXMin = 0, SavedXMax = 0, SavedYMin = 0, SavedYMax = 0;
    double XMin = 0;
    double XMax = 0;
    double YMin = 0;
    double YMax = 0;
    double MidPoint = 0;
    double HalfSize = 0;
    std::int32_t Palette[256] = {};
    ByteGrid DoneGrid;
    ByteGrid LevelGrid;

    // Event handlers (public so that tests can raise them as the toolkit does).
    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Picture1_MouseDown(std::int16_t Button, std::int16_t Shift, float x, float y);
    void Picture1_MouseMove(std::int16_t Button, std::int16_t Shift, float x, float y);
    void Picture1_MouseUp(std::int16_t Button, std::int16_t Shift, float x, float y);
    void RatioCheck_Click(std::int16_t Index);
    void Text1_change();
    void Text2_Change();
    void Text3_Change();
    void Text4_Change();
    void Text5_Change();
    void Text6_Change();
    void Text1_GotFocus();
    void Text2_GotFocus();
    void Text3_GotFocus();
    void Text4_GotFocus();
    void Text5_GotFocus();
    void Text6_GotFocus();
    void Text1_LostFocus();
    void Text2_LostFocus();
    void Text3_LostFocus();
    void Text4_LostFocus();
    void Text5_LostFocus();
    void Text6_LostFocus();
    void OpenMenu_Click(std::int16_t Index);
    void SaveMenu_Click(std::int16_t Index);

    // Private procedures in spirit; public for the tests.
    void UpdateXY();
    std::int32_t ZelmarPoint(std::int32_t DoX, std::int32_t DoY);
    std::int32_t GetFlag(std::int32_t a, std::int32_t b) const;
    std::int32_t GetPixel(std::int32_t a, std::int32_t b) const;
    void DoIt();
    void TraceSet(std::int32_t StartX, std::int32_t StartY);
    void CancelSelection();
    void AdjustX();
    void AdjustY();
    // Whether a pass can draw `view` on this canvas: its extents and the
    // steps between pixels are numbers (fields.cpp). "&Go" asks it before
    // it touches anything, so an overflowing view leaves the canvas, the
    // fields and the status line as they were.
    bool ViewFitsCanvas(const PlaneView& view) const;

    // Whether a rubber-band drag is in progress (it owns the canvas until
    // its release), and the view the double bounds give now.
    bool isDragging() const { return CornerDrag != False || CenterDrag != False; }
    PlaneView shownView() const { return {XMin, XMax, YMin, YMax}; }

    // Views deeper than doubles resolve: the bounds at any precision
    // (deep_view_state.h), and the levels of a pass over such a view, worked
    // out off this thread (deep_render.h).
    DeepViewState Deep;
    DeepRender DeepPass;

private:
    void createControls();
    void connectHandlers();
    void drawBox(float x1, float y1, float x2, float y2);
    void eraseBoxAndRestoreView();
    bool takenDeep(int field, const tk::TextBox* box);

    // ---- Render speed: the pass in steps, and its engine ----
    // (render.cpp, evaluation.cpp.) DoIt is PrepareGrids, the canvas clear,
    // ComputeCoordinates, then per row EvaluateRow, plot, yield and refresh;
    // EvaluatePass runs the same steps without any widget work. The engine
    // works out the levels of the pass's canvas ahead of it, in bands of
    // rows a little ahead of the row being drawn (armed by
    // ComputeCoordinates, released when the pass ends; a nested pass arms it
    // again with its own grids). While it is armed, ZelmarPoint takes its
    // levels from there; the grids, the order of evaluation and every effect
    // stay those of the sequential pass.
public:
    void PrepareGrids();
    void ComputeCoordinates();
    void EvaluateRow(std::int32_t row);
    void EvaluatePass();
    engine::LevelEngine Engine;

private:
    std::int32_t ScalarLevel(std::int32_t col, std::int32_t row) const;
    // ---- end of render speed ----

public:
    // Passes on the stack, and a restart waiting for the innermost one
    // (render.cpp): bounds the nesting of "Re&start".
    PassNesting Passes;

    // What the window offers beyond its designed controls (explorer_features.h);
    // a child object, made by the constructor.
    ExplorerFeatures* Features = nullptr;

signals:
    // "&Go"/"Re&start" begins; the pass has read the view it draws (the
    // bounds as they stand now); the pass and its handler are through
    // (also when an error ended them). Passes nest, and so do these.
    void passStarting();
    void viewChosen();
    void passEnded();
    // A restart coalesced at the nesting limit: the innermost pass will draw
    // the bounds as they are now (render.cpp, Command1_Click).
    void restartMerged();
    // The pass has drawn row `row` of the canvas and is about to yield.
    void rowDrawn(std::int32_t row);
    // The pass is inside a row that takes long (waiting for levels, or on a
    // long walk) and answers the window system, about every 10 ms.
    void passWaiting();
    // "&Pause" pressed during a pass, and the pause's wait ended (pause.cpp).
    void passPaused();
    void passResumed();
};

// The grids as the boundary trace sees them: outside the canvas reads 1, a
// done pixel with level 1 (an escaped point, never one of the set). Inline,
// as the trace asks them for every neighbour it looks at.
inline std::int32_t Form1::GetFlag(std::int32_t a, std::int32_t b) const
{
    if (a < 0 || a > LastCol || b < 0 || b > LastRow)
        return 1;
    return DoneGrid(a, b);
}

inline std::int32_t Form1::GetPixel(std::int32_t a, std::int32_t b) const
{
    if (a < 0 || a > LastCol || b < 0 || b > LastRow)
        return 1;
    return LevelGrid(a, b);
}

} // namespace explorer
