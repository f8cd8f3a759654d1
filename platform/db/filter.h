#pragma once
// TFilterExpression: a dataset filter, parsed once and evaluated on rows.
//
// Grammar (keywords and field names without regard to case):
//   expr       := term { OR term }
//   term       := factor { AND factor }
//   factor     := NOT factor | '(' expr ')' | comparison | logical-field
//   comparison := operand ( '=' | '<>' | '<' | '>' | '<=' | '>=' ) operand
//   operand    := field | number | 'text' | "text" | TRUE | FALSE
//   field      := identifier | '[' any name ']'
// A bare logical field is true when the field holds true.  A comparison
// with a blank (null) value is false.  Text compares by code point, as
// stored.  Numbers compare as doubles.

#include <QString>
#include <memory>
#include <vector>

#include "platform/db/field.h"
#include "platform/paradox/table.h"

struct TFilterField {
    QString name;
    TFieldType type;
    int index;  // position of the value in a row
};

class TFilterExpression {
public:
    // Raises EDatabaseError naming the problem for an invalid expression or
    // an unknown field.
    static std::unique_ptr<TFilterExpression> Parse(const QString& text,
                                                    const std::vector<TFilterField>& fields);
    ~TFilterExpression();

    bool Accepts(const paradox::Row& row) const;

    struct Node;

private:
    explicit TFilterExpression(std::unique_ptr<Node> root);
    std::unique_ptr<Node> root_;
};
