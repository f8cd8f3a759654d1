// TBaseReport: text with tab-stop cells, the tab stop list, the status line,
// footers and memos.
#include <QCoreApplication>
#include <cmath>

#include "reportengine/base_report.h"
#include "reportengine/memo_buf.h"

// ---- tab stops -----------------------------------------------------------------------

void TBaseReport::AddTabStop(double pos, TTextJustify justify, double width, double margin,
                             int lines, int shade) {
    if (tabs_.empty()) tabRestart_ = true;
    TTabStop stop;
    if (pos >= 0) {
        stop.Pos = In(pos);
    } else if (!tabs_.empty()) {
        stop.Pos = tabs_.back().Pos + tabs_.back().Width;
    } else {
        stop.Pos = MarginPosLeft();
    }
    stop.Justify = justify;
    if (width > 0) {
        stop.Width = In(width);
        stop.Margin = margin / 100.0;
        stop.LeftLine = lines & BoxLineLeft;
        stop.RightLine = lines & BoxLineRight;
        stop.TopLine = lines & BoxLineTop;
        stop.BottomLine = lines & BoxLineBottom;
        stop.Shade = shade;
    }
    tabs_.push_back(stop);
}

void TBaseReport::ClearTabStops() {
    tabs_.clear();
    RestartTabs();
}

void TBaseReport::RestartTabs() {
    hasCurrentTab_ = false;
    tabActive_ = false;
    tabRestart_ = !tabs_.empty();
}

void TBaseReport::SetTabShade(int value) { tabShade_ = std::clamp(value, 0, 100); }

void TBaseReport::NextTab(int leftLine, int rightLine, int topLine, int bottomLine, int shade) {
    if (!CheckOutput()) return;
    if (hasCurrentTab_) {
        ++currentTab_;
        hasCurrentTab_ = currentTab_ != tabs_.end();
    } else if (tabRestart_ && !tabs_.empty()) {
        currentTab_ = tabs_.begin();
        hasCurrentTab_ = true;
        tabRestart_ = false;
    }
    if (!hasCurrentTab_) {
        tabActive_ = false;
        return;
    }
    tabActive_ = true;
    const TTabStop& stop = *currentTab_;
    if (stop.Width == 0) return;
    double l = (columnNumber_ - 1) * columnWidth_ + stop.Pos;
    double r = l + stop.Width;
    double t = cursorY_ + fontDescent_ - lineHeight_;
    double b = cursorY_ + fontDescent_;
    int cellShade = shade != TabDefault ? shade : (stop.Shade != 0 ? stop.Shade : tabShade_);
    if (cellShade != 0) DrawCellShade(l, t, r, b, cellShade);
    const int overrides[4] = {leftLine, rightLine, topLine, bottomLine};
    DrawCellLines(l, t, r, b, stop, overrides);
}

void TBaseReport::DrawCellShade(double l, double t, double r, double b, int shade) {
    TCanvas& canvas = Canvas();
    TBrush savedBrush;
    savedBrush.Assign(canvas.Brush());
    TPen savedPen;
    savedPen.Assign(canvas.Pen());
    int grey = 255 - (shade * 255 / 100);
    canvas.Brush().SetColor(RGBColor(grey, grey, grey));
    canvas.Brush().SetStyle(bsSolid);
    canvas.Pen().SetColor(clBlack);
    canvas.Pen().SetStyle(psClear);
    canvas.Pen().SetMode(pmMask);
    canvas.Pen().SetWidth(1);
    TBkMode savedMode = canvas.BkMode();
    canvas.SetBkMode(bkTransparent);
    ShadeRect(Out(l), Out(t), Out(r), Out(b));
    canvas.SetBkMode(savedMode);
    canvas.Brush().Assign(savedBrush);
    canvas.Pen().Assign(savedPen);
}

void TBaseReport::DrawCellLines(double l, double t, double r, double b, const TTabStop& stop,
                                const int overrides[4]) {
    TCanvas& canvas = Canvas();
    TPen savedPen;
    savedPen.Assign(canvas.Pen());
    const bool has[4] = {stop.LeftLine, stop.RightLine, stop.TopLine, stop.BottomLine};
    // From and to of each line: left, right, top, bottom.
    const double ends[4][4] = {{l, b, l, t}, {r, b, r, t}, {l, t, r, t}, {l, b, r, b}};
    for (int i = 0; i < 4; ++i) {
        int o = overrides[i];
        bool draw = (o == TabDefault && has[i]) || (o != 0 && o != TabDefault);
        if (!draw) continue;
        if (o == TabDefault) {
            canvas.Pen().Assign(savedPen);
        } else {
            canvas.Pen().Assign(*MakePen(clBlack, psSolid, o, pmCopy));
        }
        MoveTo(Out(ends[i][0]), Out(ends[i][1]));
        LineTo(Out(ends[i][2]), Out(ends[i][3]));
    }
    canvas.Pen().Assign(savedPen);
}

// ---- text ----------------------------------------------------------------------------------

void TBaseReport::PrintSegment(const QString& text) {
    // An empty rest after a tab leaves the cell open for the next text.
    if (text.isEmpty() && tabActive_ && hasCurrentTab_) return;
    if (!tabActive_ || !hasCurrentTab_) {
        PrintLeftAt(text, CursorXInches());
        return;
    }
    tabActive_ = false;
    const TTabStop& stop = *currentTab_;
    double c = (columnNumber_ - 1) * columnWidth_ + stop.Pos;
    switch (stop.Justify) {
        case tjCenter:
            PrintCenteredAt(text, c + stop.Width / 2);
            break;
        case tjLeft:
            PrintLeftAt(text, c + stop.Margin);
            break;
        case tjRight:
            PrintRightAt(text, c + stop.Width - stop.Margin);
            break;
    }
}

void TBaseReport::PrintText(const QString& text) {
    qsizetype start = 0;
    for (qsizetype tab = text.indexOf('\t'); tab >= 0; tab = text.indexOf('\t', start)) {
        if (tab > start) PrintSegment(text.mid(start, tab - start));
        start = tab + 1;
        NextTab(TabDefault, TabDefault, TabDefault, TabDefault, TabDefault);
    }
    PrintSegment(text.mid(start));
}

void TBaseReport::PrintTextLine(const QString& text) {
    PrintText(text);
    EndLine();
}

void TBaseReport::PrintAtBottom(const QString& text, TTextJustify justify) {
    if (!CheckOutput()) return;
    UpdateLineMetrics();
    ReturnToColumnStart();
    cursorY_ = sectionBottom_ - fontDescent_;
    switch (justify) {
        case tjCenter:
            PrintCenteredAt(text, (sectionLeft_ + sectionRight_) / 2);
            break;
        case tjLeft:
            PrintLeftAt(text, sectionLeft_);
            break;
        case tjRight:
            PrintRightAt(text, sectionRight_);
            break;
    }
}

void TBaseReport::PrintMemo(TMemoBuf& memo, int lines, bool withTabs) {
    if (!CheckOutput()) return;
    QString tabs;
    if (withTabs) {
        RestartTabs();
        tabs = QString(std::min<int>(int(tabs_.size()), 60), '\t');
    }
    if (memo.PrintEnd <= memo.PrintStart) throw EFolioscribe(ReportMessages::MemoRange);
    int width = XU2D(memo.PrintEnd) - XU2D(memo.PrintStart) + 1;
    auto printLine = [&] {
        SetCursorXInches(In(memo.PrintStart) + (columnNumber_ - 1) * columnWidth_);
        PrintTextLine(memo.NextLine(Canvas(), width) + tabs);
    };
    if (lines > 0) {
        for (int i = 0; i < lines; ++i) printLine();
    } else if (lines == 0) {
        while (!memo.AtEnd()) printLine();
    }
}

// ---- status ---------------------------------------------------------------------------------

QString TBaseReport::ExpandStatus() const {
    const QString& f = StatusFormat;
    QString out;
    for (qsizetype i = 0; i < f.size(); ++i) {
        if (f[i] != '%' || i + 1 >= f.size()) {
            out += f[i];
            continue;
        }
        QChar c = f[++i].toUpper();
        if (c == '%') {
            out += '%';
        } else if (c >= '0' && c <= '9') {
            out += StatusText.value(c.unicode() - '0');
        } else if (c == 'D') {
            out += DeviceName;
        } else if (c == 'F') {
            out += QString::number(FirstPage);
        } else if (c == 'L') {
            out += QString::number(LastPage);
        } else if (c == 'P') {
            out += QString::number(currentPage_);
        } else if (c == 'R') {
            out += DriverName;
        } else if (c == 'T') {
            out += PortName;
        } else {
            out += QString("<ERROR-%") + c + '>';
        }
    }
    return out;
}

void TBaseReport::UpdateStatus() {
    if (!StatusLabel) return;
    StatusLabel->setText(ExpandStatus());
    QCoreApplication::processEvents();
}
