#include "core/search/wildcard.h"

#include <vector>

namespace Wildcard {

namespace {

struct Token
{
    enum Kind
    {
        Literal,
        AnyChar,
        Digit,
        Set,
        Star
    };
    Kind kind = Literal;
    QChar ch;                                    // Literal
    bool negated = false;                        // Set
    std::vector<std::pair<QChar, QChar>> ranges; // Set: inclusive ranges, single chars as c-c
};

// Reads the list after "[" (and "!") up to its "]". False when the "]" never comes.
bool readSet(const QString &pattern, qsizetype &i, Token &token)
{
    const qsizetype n = pattern.size();
    if (i < n && pattern.at(i) == QLatin1Char('!')) {
        token.negated = true;
        ++i;
    }
    // "[]" closes at once: an empty list, which no character is in.
    while (i < n && pattern.at(i) != QLatin1Char(']')) {
        const QChar first = pattern.at(i);
        // A "-" between two list characters makes a range; at either end of the list it is
        // the character itself.
        if (i + 2 < n && pattern.at(i + 1) == QLatin1Char('-') &&
            pattern.at(i + 2) != QLatin1Char(']')) {
            token.ranges.emplace_back(first, pattern.at(i + 2));
            i += 3;
        } else {
            token.ranges.emplace_back(first, first);
            ++i;
        }
    }
    if (i >= n)
        return false;
    ++i; // the "]"
    return true;
}

bool compile(const QString &pattern, std::vector<Token> &tokens)
{
    tokens.reserve(pattern.size());
    qsizetype i = 0;
    while (i < pattern.size()) {
        const QChar c = pattern.at(i++);
        Token token;
        if (c == QLatin1Char('*')) {
            // Runs of stars mean the same as one and would only slow the matcher.
            if (!tokens.empty() && tokens.back().kind == Token::Star)
                continue;
            token.kind = Token::Star;
        } else if (c == QLatin1Char('?')) {
            token.kind = Token::AnyChar;
        } else if (c == QLatin1Char('#')) {
            token.kind = Token::Digit;
        } else if (c == QLatin1Char('[')) {
            token.kind = Token::Set;
            if (!readSet(pattern, i, token))
                return false;
        } else {
            token.ch = c;
        }
        tokens.push_back(std::move(token));
    }
    return true;
}

bool matchesOne(const Token &token, QChar c)
{
    switch (token.kind) {
    case Token::Literal:
        return c == token.ch;
    case Token::AnyChar:
        return true;
    case Token::Digit:
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    case Token::Set: {
        // A descending range such as "z-a" holds no character.
        bool inList = false;
        for (const auto &[low, high] : token.ranges) {
            if (c >= low && c <= high) {
                inList = true;
                break;
            }
        }
        return inList != token.negated;
    }
    case Token::Star:
        break;
    }
    return false;
}

} // namespace

bool matches(const QString &text, const QString &pattern)
{
    std::vector<Token> tokens;
    if (!compile(pattern, tokens))
        return false;

    // Greedy matching that remembers only the latest star: when a later part fails, that star
    // takes one more character and the rest is tried again. Earlier stars never need to be
    // revisited, so the work stays within text length times pattern length.
    const qsizetype n = text.size();
    const qsizetype m = qsizetype(tokens.size());
    qsizetype t = 0;
    qsizetype p = 0;
    qsizetype starToken = -1;
    qsizetype starText = 0;
    while (t < n) {
        if (p < m && tokens[p].kind == Token::Star) {
            starToken = p++;
            starText = t;
        } else if (p < m && matchesOne(tokens[p], text.at(t))) {
            ++p;
            ++t;
        } else if (starToken >= 0) {
            p = starToken + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < m && tokens[p].kind == Token::Star)
        ++p;
    return p == m;
}

} // namespace Wildcard
