#pragma once
// The values of a bill's cells as the ledger takes them.
#include <QString>
#include <optional>

namespace imports {

// The longest summary or counterparty an entry holds.
constexpr int kTextLimit = 160;

// An amount in cents from "1,234.56", "¥1,234.56", "￥1234.5", "-1,000.00", "(12.00)",
// " 28.16\t", "12元"; nothing when it is no number or has cents below the second decimal.
std::optional<qint64> parseAmount(const QString &text);
// Cents as an amount text with two decimals ("-1234.50").
QString amountText(qint64 cents);

// A date ("2023-02-12 21:32:14", "2023/2/12", "2023.02.12", "20230212", "2023年2月12日",
// "2012- 8-27") in the ledger's one date form "2012- 8-27"; empty when it is none.
QString ledgerDate(const QString &text);

// A cell's text as an entry field: control characters become blanks (as typing them
// would give), blanks and tabs at either end go; verbatim keeps the text as it is (the
// program's own exports hold what the ledger held). Cut to kTextLimit characters; *cut
// tells.
QString entryText(const QString &text, bool *cut = nullptr, bool verbatim = false);

// A cell without padding: blanks, tabs and non-breaking spaces at either end removed.
QString bare(const QString &text);

} // namespace imports
