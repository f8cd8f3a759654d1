#pragma once
// Enumerations, events and the error class shared by the report engine.

#include <QString>
#include <functional>

#include "platform/base/exception.h"
#include "platform/graphics/colors.h"

// Errors raised by the report engine.
class EFolioscribe : public Exception {
public:
    using Exception::Exception;
};

enum TPrintUnits { unInch, unMM, unCM, unPoint, unUser };
// Text background: bkTransparent or bkOpaque.
using TBKMode = TBkMode;
enum TLineHeightMethod { lhmLinesPerInch, lhmFont };
// smMemory: the recorder writes a temporary file beside FileName that
// replaces it when the run completes, and the readers read FileName as
// pages are shown (a report need not fit in memory); smFile: FileName is
// written in place; smUser: UserStream.
enum TStreamMode { smMemory, smFile, smUser };
enum TOrientation { poPortrait, poLandScape, poDefault };
enum TMarginMethod { mmScaled, mmFixed };
enum TAccuracyMethod { amPositioning, amAppearance };
enum TTextJustify { tjCenter = 0, tjLeft = 1, tjRight = 2 };
enum TOutputKind { okPrinter = 0, okPreview = 1, okFile = 2 };

class TBaseReport;
using TNotifyEvent = std::function<void(TBaseReport* Sender)>;
using TPrintPageEvent = std::function<bool(TBaseReport* Sender, int& PageNum)>;

// An override argument of NextTab meaning "as the tab stop says".
constexpr int TabDefault = -32768;

// Bits of AddTabStop's Lines argument.
enum : int {
    BoxLineLeft = 1,
    BoxLineRight = 2,
    BoxLineTop = 4,
    BoxLineBottom = 8,
    BoxLineAll = 15
};

struct TTabStop {
    double Pos = 0;  // inches from the paper's left edge, within column 1
    TTextJustify Justify = tjLeft;
    double Width = 0;   // inches; 0 is a bare position without a cell
    double Margin = 0;  // inches
    bool LeftLine = false, RightLine = false, TopLine = false, BottomLine = false;
    int Shade = 0;  // percent; 0 means the report's TabShade
};

// Messages the engine raises.
namespace ReportMessages {
inline const char* const NotPrinting = "Invalid method call.  Folioscribe is not printing.";
inline const char* const AlreadyPrinting = "Invalid method call.  Folioscribe already printing.";
inline const char* const CanvasNotActive = "Error!  Canvas not yet active.";
inline const char* const OwnerNotForm =
    "TReportFiler.Owner must be a TForm if no printers are defined.";
inline const char* const CopyRectNotSupported = "CopyRect() not supported in file mode.";
inline const char* const UnexpectedCode = "Unexpected code found in report file.";
inline const char* const MemoRange = "TMemoBuf.PrintEnd must be greater than TMemoBuf.PrintStart";
}  // namespace ReportMessages
