#pragma once
// The message beep that goes with a question, warning or error.

enum class TBeepType { Default, Question, Warning, Error, Information };

void MessageBeep(TBeepType type);
