#include "analysis/basic_detokeniser.h"

#include <array>
#include <string_view>

#include "analysis/entry_table.h"
#include "core/byte_reader.h"

namespace sv {

namespace {

constexpr std::string_view kRecordFormMark = "RSBASIC";

// The text of tokens 0x80..0xFF; the empty entries are the unassigned tokens.
constexpr std::array<std::string_view, 128> kTokens{
    " END",     " FOR ",   " CLS",     " RANDOM",  " NEXT ",   " DATA",    " INPUT",
    " DIM",     " READ",   " LET",     " GOTO ",   " RUN ",    " IF ",     " RESTORE ",
    " GOSUB ",  " RETURN", " REM ",    " STOP",    " ELSE ",   " TRON",    " TROFF",
    " SWAP",    " ERASE",  " DEFSTR ", " DEFINT ", " DEFSNG ", " DEFDBL ", " LINE ",
    " EDIT",    " ERROR",  " RESUME ", " ON",      " OPEN",    " FIELD",   " GET",
    " PUT",     " CLOSE",  " LOAD",    " MERGE",   "",         " KILL",    " LSET",
    " RSET ",   " SAVE ",  " SYSTEM",  " LPRINT ", " DEF ",    " PRINT ",  " CONT",
    " LIST",    " LLIST",  " DELETE",  " AUTO",    " CLEAR",   " RENUM",   " NEW ",
    " TAB(",    " TO ",    " FN",      " SPC(",    " USING",   " VARPTR",  " USR",
    " ERL ",    " ERR ",   " STRING$", " INSTR",   " TIME$ ",  " DATE$ ",  " MEM ",
    " INKEY$",  " THEN ",  " NOT ",    " STEP ",   "+",        "-",        "*",
    "\\",       "",        " AND ",    " OR ",     " XOR ",    " EQV ",    " IMP ",
    " MOD ",    "",        ">",        "=",        "<",        " SGN",     " INT ",
    " ABS ",    " FRE",    " ROW",     " POS",     " SQR",     " RND",     " LOG",
    " EXP",     " COS",    " SIN",     " TAN",     " ATN",     " CVI",     " CVS",
    " CVD",     " EOT ",   " LOC ",    " LOF",     " MKI$",    " MKS$",    " MKD#",
    " CINT",    " CSNG",   " CDBL",    " FIX",     " LEN",     " OCT$",    " HEX$",
    " STR$",    " VAL",    " ASC",     " CHR$",    " SPACE$",  " LEFT$",   " RIGHT$",
    " MID$",    " ",
};

void appendToken(std::string& out, std::uint8_t token) {
    const std::string_view text = kTokens[token - 0x80];
    if (text.empty()) {
        out += " {{" + hexField(token, 2) + "h}}";
    } else {
        out += text;
    }
}

std::string recordForm(const ByteReader& in) {
    std::string out;
    std::size_t pos = 0;
    while (pos < in.size()) {
        const std::size_t length = static_cast<std::uint8_t>(in.u8(pos) - 1);
        out += textOf(in.bytes(pos + 1, length));
        out += "\r\n";
        pos += 1 + length;
        if (out.ends_with("END\r\n")) {
            break;
        }
    }
    return out;
}

std::string tokenisedForm(const ByteReader& in) {
    std::string out;
    std::size_t pos = 0;
    while (in.has(pos, 4) && in.le16(pos) != 0) {
        out += std::to_string(in.le16(pos + 2)) + " ";
        pos += 4;
        while (pos < in.size()) {
            const std::uint8_t b = in.u8(pos++);
            if (b == 0) {
                break;
            }
            if (b < 0x80) {
                out += static_cast<char>(b);
            } else {
                appendToken(out, b);
            }
        }
        out += "\r\n";
    }
    return out;
}

// Each pair of blanks becomes one, in a single pass: three blanks leave two.
std::string halvedBlanks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == ' ' && i + 1 < text.size() && text[i + 1] == ' ') {
            ++i;
        }
    }
    return out;
}

}  // namespace

std::string detokeniseBasic(std::span<const std::uint8_t> program) {
    const ByteReader in(program);
    const std::string_view bytes(reinterpret_cast<const char*>(program.data()), program.size());
    const bool recordForm_ = bytes.find(kRecordFormMark) != std::string_view::npos;
    return halvedBlanks(recordForm_ ? recordForm(in) : tokenisedForm(in));
}

}  // namespace sv
