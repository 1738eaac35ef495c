#include "aesextrafield.h"

#include "zipformat.h"

namespace aesextra {
namespace {

constexpr char VendorId[2] = {'A', 'E'};

} // namespace

std::string build(std::uint16_t compressionMethod) {
    return build(Field{VendorVersionNoCrc, StrengthAes256, compressionMethod});
}

std::string build(const Field& field) {
    std::string out;
    zipformat::put16(out, ExtraAes);
    zipformat::put16(out, DataSize);
    zipformat::put16(out, field.vendorVersion);
    out.append(VendorId, sizeof VendorId);
    out.push_back(static_cast<char>(field.strength));
    zipformat::put16(out, field.compressionMethod);
    return out;
}

std::optional<Field> parse(const unsigned char* data, std::size_t size) {
    if (size != DataSize || data[2] != VendorId[0] || data[3] != VendorId[1])
        return std::nullopt;
    Field field;
    field.vendorVersion = zipformat::get16(data);
    field.strength = data[4];
    field.compressionMethod = zipformat::get16(data + 5);
    if ((field.vendorVersion != VendorVersionCrc && field.vendorVersion != VendorVersionNoCrc) ||
        saltSize(field.strength) == 0)
        return std::nullopt;
    return field;
}

std::optional<Field> find(std::string_view extraFields) {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    if (!zipformat::findExtraField(reinterpret_cast<const unsigned char*>(extraFields.data()),
                                   extraFields.size(), ExtraAes, data, size))
        return std::nullopt;
    return parse(data, size);
}

std::size_t saltSize(std::uint8_t strength) {
    switch (strength) {
    case StrengthAes128:
        return 8;
    case StrengthAes192:
        return 12;
    case StrengthAes256:
        return 16;
    default:
        return 0;
    }
}

} // namespace aesextra
