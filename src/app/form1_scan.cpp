// Form1's tracing: the line drawn on the overview, the conductor scan along
// it, and panning of both picture boxes with the right button.

#include <iostream>

#include "app/form1.h"
#include "state/numeric.h"

namespace sarn {

namespace {

constexpr int kLeftButton = 1;
constexpr int kRightButton = 2;
constexpr int kPointerDefault = 0;
constexpr int kPointerSizeAll = 15;

void Show(tk::LineShape* shape, const GuideSegment& ends) {
  shape->SetEnds(ends.X1, ends.Y1, ends.X2, ends.Y2);
  shape->SetVisible(true);
}

// (pointer - grab point) + position, in double precision, stored as a float.
float Panned(float position, float pointer, int32_t grab) {
  return static_cast<float>((static_cast<double>(pointer) - grab) + position);
}

}  // namespace

void Form1::Picture1_MouseDown(int button, int, float x, float y) {
  if (button == kRightButton) {
    DragX = RoundToInt32(x).value_or(DragX);
    DragY = RoundToInt32(y).value_or(DragY);
    Picture1->SetMousePointer(kPointerSizeAll);
  } else {
    Selecting = true;
    Line1[0]->SetX1(x);
    Line1[0]->SetY1(y);
  }
}

void Form1::Picture1_MouseMove(int button, int, float x, float y) {
  if (button == kLeftButton && Selecting) {
    Line1[0]->SetVisible(true);
    Line1[0]->SetX2(x);
    Line1[0]->SetY2(y);
    session_.TrackLine(ScanLine{Line1[0]->X1(), Line1[0]->Y1(), x, y});
  } else if (button == kRightButton) {
    Picture1->SetTop(Panned(Picture1->Top(), y, DragY));
  }
}

void Form1::Picture1_MouseUp(int button, int, float x, float y) {
  if (button == kLeftButton && Selecting) {
    Line1[0]->SetX2(x);
    Line1[0]->SetY2(y);
    session_.SetLine(ScanLine{Line1[0]->X1(), Line1[0]->Y1(), x, y});
    Selecting = false;
  } else if (button == kRightButton) {
    Picture1->SetTop(Panned(Picture1->Top(), y, DragY));
  }
  Picture1->SetMousePointer(kPointerDefault);
}

void Form1::Picture2_MouseDown(int button, int, float x, float y) {
  if (button != kRightButton)
    return;
  DragX = RoundToInt32(x).value_or(DragX);
  DragY = RoundToInt32(y).value_or(DragY);
  Picture2->SetMousePointer(kPointerSizeAll);
}

void Form1::Picture2_MouseMove(int button, int, float x, float y) {
  if (button != kRightButton)
    return;
  Picture2->SetTop(Panned(Picture2->Top(), y, DragY));
  Picture2->SetLeft(Panned(Picture2->Left(), x, DragX));
}

void Form1::Picture2_MouseUp(int button, int, float x, float y) {
  if (button == kRightButton) {
    Picture2->SetTop(Panned(Picture2->Top(), y, DragY));
    Picture2->SetLeft(Panned(Picture2->Left(), x, DragX));
  }
  Picture2->SetMousePointer(kPointerDefault);
}

void Form1::Option1_Click(int) {
  session_.SetCriterion(Option1[0]->Value() ? Criterion::ChangeValue : Criterion::Darkness);
}

void Form1::Text1_Change() {
  session_.SetThresholdText(Text1->Text());
}

void Form1::Scanned() {
  const ScanGuides& guides = session_.GuideLines();
  Show(Line1[1], guides.chord_overview);
  Show(Line3[0], guides.drawn_working);
  Show(Line3[1], guides.chord_working);
  for (size_t i = 1; i <= 7; ++i) {
    Show(Line2[i], guides.marks_overview[i]);
    Show(Line4[i], guides.marks_working[i]);
  }
  ShowTrace();
  ColourResultLabels();
}

void Form1::ScanSkipped() {
  ColourResultLabels();
}

void Form1::HiDatNotWritten(const Failure& why) {
  std::cerr << "sarn: hi.dat not written: " << why.English() << '\n';
}

}  // namespace sarn
