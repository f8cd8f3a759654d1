#include "platform/db/filter.h"

#include <cmath>
#include <string>

#include "platform/base/exception.h"

// --- the parsed tree ---------------------------------------------------------

enum class NodeKind { Or, And, Not, Compare, LogicalField };
enum class CompareOp { Eq, Ne, Lt, Gt, Le, Ge };
enum class OperandKind { Field, Number, Text, Boolean };

struct Operand {
    OperandKind kind = OperandKind::Number;
    int index = -1;  // Field: position in the row
    TFieldType fieldType = TFieldType::ftUnknown;
    double number = 0;
    std::string text;  // UTF-8, as rows hold text
    bool boolean = false;
};

struct TFilterExpression::Node {
    NodeKind kind = NodeKind::Or;
    std::vector<std::unique_ptr<Node>> children;
    CompareOp op = CompareOp::Eq;
    Operand left, right;
    int index = -1;  // LogicalField
};

namespace {

bool isTextType(TFieldType type) {
    return type == TFieldType::ftString || type == TFieldType::ftMemo ||
           type == TFieldType::ftFmtMemo;
}

// The class of value an operand yields, for checking that comparisons make
// sense before any row is read.
enum class ValueClass { Number, Text, Boolean, Other };

ValueClass classOf(const Operand& operand) {
    switch (operand.kind) {
        case OperandKind::Number:
            return ValueClass::Number;
        case OperandKind::Text:
            return ValueClass::Text;
        case OperandKind::Boolean:
            return ValueClass::Boolean;
        case OperandKind::Field:
            if (isNumericType(operand.fieldType)) return ValueClass::Number;
            if (isTextType(operand.fieldType)) return ValueClass::Text;
            if (operand.fieldType == TFieldType::ftBoolean) return ValueClass::Boolean;
            return ValueClass::Other;
    }
    return ValueClass::Other;
}

// --- tokens --------------------------------------------------------------------

enum class TokenKind { End, Identifier, Number, Text, Operator, LParen, RParen };

struct Token {
    TokenKind kind = TokenKind::End;
    QString text;
    int position = 0;  // 1-based character position, for messages
};

class Parser {
public:
    Parser(const QString& text, const std::vector<TFilterField>& fields)
        : text_(text), fields_(fields) {
        advance();
    }

    std::unique_ptr<TFilterExpression::Node> parseAll() {
        auto node = parseOr();
        if (token_.kind != TokenKind::End) fail("unexpected '" + token_.text + "'");
        return node;
    }

private:
    using NodePtr = std::unique_ptr<TFilterExpression::Node>;

    [[noreturn]] void fail(const QString& what) const {
        QString where = token_.kind == TokenKind::End
                            ? QStringLiteral("at the end")
                            : QStringLiteral("at position %1").arg(token_.position);
        throw EDatabaseError(
            QStringLiteral("Invalid filter \"%1\": %2 %3").arg(text_, what, where).toStdString());
    }

    bool isKeyword(const char* word) const {
        return token_.kind == TokenKind::Identifier &&
               token_.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }

    void advance() {
        while (pos_ < text_.size() && text_[pos_].isSpace()) ++pos_;
        token_ = Token{};
        token_.position = static_cast<int>(pos_) + 1;
        if (pos_ >= text_.size()) return;
        const QChar c = text_[pos_];
        if (c.isLetter() || c == '_') return readIdentifier();
        if (c.isDigit() || (c == '.' && pos_ + 1 < text_.size() && text_[pos_ + 1].isDigit()))
            return readNumber();
        if (c == '\'' || c == '"') return readText(c);
        if (c == '[') return readBracketName();
        if (c == '(' || c == ')') {
            token_.kind = c == '(' ? TokenKind::LParen : TokenKind::RParen;
            token_.text = c;
            ++pos_;
            return;
        }
        readOperator();
    }

    void readIdentifier() {
        qsizetype start = pos_;
        while (pos_ < text_.size() && (text_[pos_].isLetterOrNumber() || text_[pos_] == '_'))
            ++pos_;
        token_.kind = TokenKind::Identifier;
        token_.text = text_.mid(start, pos_ - start);
    }

    void readNumber() {
        qsizetype start = pos_;
        while (pos_ < text_.size() && (text_[pos_].isDigit() || text_[pos_] == '.')) ++pos_;
        token_.kind = TokenKind::Number;
        token_.text = text_.mid(start, pos_ - start);
    }

    // A quoted text; a doubled quote inside stands for one quote.
    void readText(QChar quote) {
        ++pos_;
        QString value;
        for (;;) {
            if (pos_ >= text_.size()) fail(QStringLiteral("unterminated text constant"));
            if (text_[pos_] == quote) {
                if (pos_ + 1 < text_.size() && text_[pos_ + 1] == quote) {
                    value += quote;
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                break;
            }
            value += text_[pos_++];
        }
        token_.kind = TokenKind::Text;
        token_.text = value;
    }

    void readBracketName() {
        qsizetype close = text_.indexOf(']', pos_);
        if (close < 0) fail(QStringLiteral("missing ']'"));
        token_.kind = TokenKind::Identifier;
        token_.text = text_.mid(pos_ + 1, close - pos_ - 1).trimmed();
        pos_ = close + 1;
        bracketed_ = true;
    }

    void readOperator() {
        static const char* const two[] = {"<>", "<=", ">="};
        for (const char* op : two) {
            if (text_.mid(pos_, 2) == QLatin1String(op)) {
                token_.kind = TokenKind::Operator;
                token_.text = QLatin1String(op);
                pos_ += 2;
                return;
            }
        }
        const QChar c = text_[pos_];
        if (c == '=' || c == '<' || c == '>') {
            token_.kind = TokenKind::Operator;
            token_.text = c;
            ++pos_;
            return;
        }
        token_.kind = TokenKind::Operator;
        token_.text = c;
        fail("unexpected character '" + QString(c) + "'");
    }

    NodePtr makeNode(NodeKind kind) {
        auto node = std::make_unique<TFilterExpression::Node>();
        node->kind = kind;
        return node;
    }

    NodePtr parseOr() {
        NodePtr left = parseAnd();
        while (isKeyword("OR")) {
            advance();
            NodePtr node = makeNode(NodeKind::Or);
            node->children.push_back(std::move(left));
            node->children.push_back(parseAnd());
            left = std::move(node);
        }
        return left;
    }

    NodePtr parseAnd() {
        NodePtr left = parseFactor();
        while (isKeyword("AND")) {
            advance();
            NodePtr node = makeNode(NodeKind::And);
            node->children.push_back(std::move(left));
            node->children.push_back(parseFactor());
            left = std::move(node);
        }
        return left;
    }

    NodePtr parseFactor() {
        if (isKeyword("NOT")) {
            advance();
            NodePtr node = makeNode(NodeKind::Not);
            node->children.push_back(parseFactor());
            return node;
        }
        if (token_.kind == TokenKind::LParen) {
            advance();
            NodePtr inner = parseOr();
            if (token_.kind != TokenKind::RParen) fail(QStringLiteral("missing ')'"));
            advance();
            return inner;
        }
        return parseComparison();
    }

    NodePtr parseComparison() {
        Operand left = parseOperand();
        if (token_.kind != TokenKind::Operator) {
            if (left.kind == OperandKind::Field && left.fieldType == TFieldType::ftBoolean) {
                NodePtr node = makeNode(NodeKind::LogicalField);
                node->index = left.index;
                return node;
            }
            if (left.kind == OperandKind::Field)
                fail(QStringLiteral("a comparison is needed after the non-logical field"));
            fail(QStringLiteral("a comparison is needed"));
        }
        NodePtr node = makeNode(NodeKind::Compare);
        node->op = parseOperator();
        advance();
        node->left = std::move(left);
        node->right = parseOperand();
        checkComparable(node->left, node->right);
        return node;
    }

    CompareOp parseOperator() const {
        const QString& op = token_.text;
        if (op == "=") return CompareOp::Eq;
        if (op == "<>") return CompareOp::Ne;
        if (op == "<") return CompareOp::Lt;
        if (op == ">") return CompareOp::Gt;
        if (op == "<=") return CompareOp::Le;
        return CompareOp::Ge;
    }

    void checkComparable(const Operand& a, const Operand& b) {
        ValueClass ca = classOf(a), cb = classOf(b);
        if (ca == ValueClass::Other || cb == ValueClass::Other || ca != cb)
            fail(QStringLiteral("the two sides of a comparison are of different types"));
    }

    Operand parseOperand() {
        Operand operand;
        switch (token_.kind) {
            case TokenKind::Number: {
                bool ok = false;
                operand.kind = OperandKind::Number;
                operand.number = token_.text.toDouble(&ok);
                if (!ok) fail("invalid number '" + token_.text + "'");
                break;
            }
            case TokenKind::Text:
                operand.kind = OperandKind::Text;
                operand.text = token_.text.toStdString();
                break;
            case TokenKind::Identifier:
                if (!bracketed_ && (isKeyword("TRUE") || isKeyword("FALSE"))) {
                    operand.kind = OperandKind::Boolean;
                    operand.boolean = isKeyword("TRUE");
                } else if (!bracketed_ &&
                           (isKeyword("AND") || isKeyword("OR") || isKeyword("NOT"))) {
                    fail("a field or value is needed before '" + token_.text + "'");
                } else {
                    resolveField(operand);
                }
                break;
            default:
                fail(token_.kind == TokenKind::End ? QStringLiteral("expression incomplete")
                                                   : "unexpected '" + token_.text + "'");
        }
        bracketed_ = false;
        advance();
        return operand;
    }

    void resolveField(Operand& operand) {
        for (const TFilterField& field : fields_) {
            if (field.name.compare(token_.text, Qt::CaseInsensitive) == 0) {
                operand.kind = OperandKind::Field;
                operand.index = field.index;
                operand.fieldType = field.type;
                return;
            }
        }
        fail("unknown field '" + token_.text + "'");
    }

    const QString& text_;
    const std::vector<TFilterField>& fields_;
    qsizetype pos_ = 0;
    Token token_;
    bool bracketed_ = false;
};

// --- evaluation ------------------------------------------------------------------

// Returns the number held by a row value, or false when it is blank.
bool numberOf(const paradox::Value& value, double& out) {
    if (value.isInt()) {
        out = static_cast<double>(value.asInt());
        return true;
    }
    if (value.isDouble()) {
        out = value.asDouble();
        return true;
    }
    return false;
}

template <typename T>
bool compare(const T& a, const T& b, CompareOp op) {
    switch (op) {
        case CompareOp::Eq:
            return a == b;
        case CompareOp::Ne:
            return !(a == b);
        case CompareOp::Lt:
            return a < b;
        case CompareOp::Gt:
            return b < a;
        case CompareOp::Le:
            return !(b < a);
        case CompareOp::Ge:
            return !(a < b);
    }
    return false;
}

const paradox::Value* fieldValue(const Operand& operand, const paradox::Row& row) {
    if (operand.index < 0 || static_cast<std::size_t>(operand.index) >= row.size()) return nullptr;
    const paradox::Value& value = row[operand.index];
    return value.isNull() ? nullptr : &value;
}

bool evalNumber(const Operand& operand, const paradox::Row& row, double& out) {
    if (operand.kind == OperandKind::Number) {
        out = operand.number;
        return true;
    }
    const paradox::Value* value = fieldValue(operand, row);
    return value && numberOf(*value, out);
}

const std::string* evalText(const Operand& operand, const paradox::Row& row) {
    if (operand.kind == OperandKind::Text) return &operand.text;
    const paradox::Value* value = fieldValue(operand, row);
    return value && value->isText() ? &value->asText() : nullptr;
}

bool evalBoolean(const Operand& operand, const paradox::Row& row, bool& out) {
    if (operand.kind == OperandKind::Boolean) {
        out = operand.boolean;
        return true;
    }
    const paradox::Value* value = fieldValue(operand, row);
    if (!value || !value->isBool()) return false;
    out = value->asBool();
    return true;
}

bool evalCompare(const TFilterExpression::Node& node, const paradox::Row& row) {
    switch (classOf(node.left)) {
        case ValueClass::Number: {
            double a = 0, b = 0;
            return evalNumber(node.left, row, a) && evalNumber(node.right, row, b) &&
                   compare(a, b, node.op);
        }
        case ValueClass::Text: {
            const std::string* a = evalText(node.left, row);
            const std::string* b = evalText(node.right, row);
            return a && b && compare(*a, *b, node.op);
        }
        case ValueClass::Boolean: {
            bool a = false, b = false;
            return evalBoolean(node.left, row, a) && evalBoolean(node.right, row, b) &&
                   compare(a, b, node.op);
        }
        case ValueClass::Other:
            break;
    }
    return false;
}

bool evaluate(const TFilterExpression::Node& node, const paradox::Row& row) {
    switch (node.kind) {
        case NodeKind::Or:
            return evaluate(*node.children[0], row) || evaluate(*node.children[1], row);
        case NodeKind::And:
            return evaluate(*node.children[0], row) && evaluate(*node.children[1], row);
        case NodeKind::Not:
            return !evaluate(*node.children[0], row);
        case NodeKind::LogicalField: {
            const paradox::Value& value = row[node.index];
            return value.isBool() && value.asBool();
        }
        case NodeKind::Compare:
            return evalCompare(node, row);
    }
    return false;
}

}  // namespace

std::unique_ptr<TFilterExpression> TFilterExpression::Parse(
    const QString& text, const std::vector<TFilterField>& fields) {
    if (text.trimmed().isEmpty()) return nullptr;
    Parser parser(text, fields);
    return std::unique_ptr<TFilterExpression>(new TFilterExpression(parser.parseAll()));
}

TFilterExpression::TFilterExpression(std::unique_ptr<Node> root) : root_(std::move(root)) {}
TFilterExpression::~TFilterExpression() = default;

bool TFilterExpression::Accepts(const paradox::Row& row) const { return evaluate(*root_, row); }
