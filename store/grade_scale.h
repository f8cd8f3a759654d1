#pragma once
// The standard grade of a comic book (0.5 to 10.0 in 25 steps, as grading
// companies print it on a slab) beside the collection's own grade, the per
// cent of mint.  Each standard grade has a short name ("9.8 NM/M") and a
// proposed per-cent grade: the middle of the condition word's band of
// per-cent steps (store/condition.h) that carries the same word.
//
//   10.0 GM      Gem Mint          100  Mint
//    9.9 MT      Mint              100  Mint
//    9.8 NM/M    Near Mint/Mint     95  Near Mint
//    9.6 NM+     Near Mint+         95  Near Mint
//    9.4 NM      Near Mint          95  Near Mint
//    9.2 NM-     Near Mint-         95  Near Mint
//    9.0 VF/NM   Very Fine/NM       90  Very Fine
//    8.5 VF+     Very Fine+         90  Very Fine
//    8.0 VF      Very Fine          85  Very Fine
//    7.5 VF-     Very Fine-         80  Very Fine
//    7.0 FN/VF   Fine/Very Fine     75  Fine
//    6.5 FN+     Fine+              70  Fine
//    6.0 FN      Fine               65  Fine
//    5.5 FN-     Fine-              60  Fine
//    5.0 VG/FN   Very Good/Fine     55  Very Good
//    4.5 VG+     Very Good+         50  Very Good
//    4.0 VG      Very Good          45  Very Good
//    3.5 VG-     Very Good-         40  Very Good
//    3.0 GD/VG   Good/Very Good     35  Good
//    2.5 GD+     Good+              30  Good
//    2.0 GD      Good               25  Good
//    1.8 GD-     Good-              20  Good
//    1.5 FR/GD   Fair/Good          15  Fair
//    1.0 FR      Fair               10  Fair
//    0.5 PR      Poor                5  Poor
//
// A grade between two words ("9.8 Near Mint/Mint") takes the lower word: the
// per-cent scale has one step for Near Mint and one for Mint, and a book
// that is not flawless is not a per-cent Mint.

#include <QString>
#include <optional>
#include <vector>

namespace store {

struct StandardGrade {
    int tenths;          // 5..100: the grade times ten (9.8 -> 98)
    const char* abbrev;  // "NM/M"
    const char* words;   // "Near Mint/Mint"
    int proposedPerc;    // the per-cent grade of the same condition word

    // "9.8", as printed on a slab and stored in the extras table.
    QString text() const;
    // "9.8 NM/M", as the grade chooser lists it.
    QString name() const;
};

inline constexpr int kStandardGradeCount = 25;

// The 25 grades, best first.
const std::vector<StandardGrade>& StandardGrades();

// The grade written as `text` ("9.8", "9.80", " 10 "); nullopt for blank
// text and for a value that is not on the scale.
std::optional<StandardGrade> FindStandardGrade(const QString& text);

// Why `text` is not a grade ("" when it is one or is blank): names the
// steps of the scale.
QString StandardGradeProblem(const QString& text);

}  // namespace store
