#include "foundation/error.hpp"

namespace zaviktools {

namespace {
const char* prefix(AlgoError::Kind k) {
    switch (k) {
        case AlgoError::Kind::EmptyInput: return "empty input: ";
        case AlgoError::Kind::InvalidGeometry: return "invalid geometry: ";
        case AlgoError::Kind::InvalidArgument: return "invalid argument: ";
        case AlgoError::Kind::Io: return "I/O error: ";
        case AlgoError::Kind::Parse: return "parse error: ";
        case AlgoError::Kind::NotFound: return "not found: ";
        case AlgoError::Kind::Interrupted: return "interrupted: ";
        case AlgoError::Kind::OutOfMemory: return "out of memory: ";
    }
    return "";
}

const char* kind_name(AlgoError::Kind k) {
    switch (k) {
        case AlgoError::Kind::EmptyInput: return "EmptyInput";
        case AlgoError::Kind::InvalidGeometry: return "InvalidGeometry";
        case AlgoError::Kind::InvalidArgument: return "InvalidArgument";
        case AlgoError::Kind::Io: return "Io";
        case AlgoError::Kind::Parse: return "Parse";
        case AlgoError::Kind::NotFound: return "NotFound";
        case AlgoError::Kind::Interrupted: return "Interrupted";
        case AlgoError::Kind::OutOfMemory: return "OutOfMemory";
    }
    return "";
}
}  // namespace

std::string AlgoError::display() const { return prefix(kind_) + payload_; }

std::string AlgoError::debug() const {
    std::string out = kind_name(kind_);
    out += "(\"";
    for (char c : payload_) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += "\")";
    return out;
}

}  // namespace zaviktools
