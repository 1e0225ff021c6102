#include "cmdlang/syntaxtree.h"

#include "cmdlang/cmdtexts.h"
#include "cmdlang/parseerror.h"

namespace qor::cmd {

QString ColumnLetters(int col) {
    if (col < 1 || col > kMaxColumn) return {};
    const int c = col - 1;
    if (c < 26) return QString(QChar(u'A' + c));
    return QString(QChar(u'A' + c / 26 - 1)) + QChar(u'A' + c % 26);
}

int ColumnFromLetters(QStringView letters) {
    auto index = [](QChar ch) {
        const char16_t u = ch.toUpper().unicode();
        return (u >= u'A' && u <= u'Z') ? int(u - u'A') : -1;
    };
    int col = -1;
    if (letters.size() == 1) {
        col = index(letters[0]);
    } else if (letters.size() == 2) {
        const int a = index(letters[0]);
        const int b = index(letters[1]);
        if (a >= 0 && b >= 0) col = (a + 1) * 26 + b;
    }
    if (col < 0 || col >= kMaxColumn) return 0;
    return col + 1;
}

bool Node::sameAs(const Node& o) const {
    if (kind != o.kind || op != o.op || children.size() != o.children.size()) return false;
    switch (kind) {
        case NodeKind::Number:
            if (number != o.number) return false;
            break;
        case NodeKind::String:
            if (text != o.text) return false;
            break;
        case NodeKind::Ident:
        case NodeKind::Call:
            if (text.compare(o.text, Qt::CaseInsensitive) != 0) return false;
            if (opaqueArgs != o.opaqueArgs || (opaqueArgs && rawArgs != o.rawArgs)) return false;
            break;
        case NodeKind::CellRef:
        case NodeKind::Area:
        case NodeKind::VRef:
        case NodeKind::VRefArea:
            if (cell1 != o.cell1 || cell2 != o.cell2 || var1 != o.var1 || var2 != o.var2 ||
                external != o.external || report != o.report || page != o.page)
                return false;
            break;
        default:
            break;
    }
    for (size_t i = 0; i < children.size(); ++i)
        if (!children[i]->sameAs(*o.children[i])) return false;
    return true;
}

namespace {
bool sameNode(const NodePtr& a, const NodePtr& b) {
    if (!a || !b) return !a && !b;
    return a->sameAs(*b);
}
}  // namespace

bool Formula::sameAs(const Formula& o) const {
    if (totalKind != o.totalKind || !sameNode(expr, o.expr) || !sameNode(filter, o.filter))
        return false;
    if (relation.has_value() != o.relation.has_value()) return false;
    if (!relation) return true;
    return relation->path == o.relation->path && sameNode(relation->key, o.relation->key) &&
           sameNode(relation->relatedKey, o.relation->relatedKey);
}

QString ParseError::toString() const {
    if (!isError()) return {};
    return CmdText(str::kAtCharacter).arg(position + 1).arg(reason);
}

}  // namespace qor::cmd
