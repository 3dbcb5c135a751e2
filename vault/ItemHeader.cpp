#include "vault/ItemHeader.h"

#include <cstring>
#include <stdexcept>

namespace vault {
namespace {

constexpr std::uint8_t kMagic[8] = {'Q', 'V', 'V', 'A', 'U', 'L', 'T', 0x1A};
constexpr std::uint16_t kVersion = 1;

class Writer {
public:
    void Bytes(const std::uint8_t* aData, std::size_t aLength) { mOut.insert(mOut.end(), aData, aData + aLength); }
    template <typename T> void Number(T aValue) {
        for (std::size_t i = 0; i < sizeof(T); ++i) mOut.push_back(static_cast<std::uint8_t>(aValue >> (8 * i)));
    }
    void Text(const std::u16string& aText) {
        for (char16_t c : aText) Number<std::uint16_t>(c);
    }
    std::vector<std::uint8_t>& Out() { return mOut; }

private:
    std::vector<std::uint8_t> mOut;
};

class Reader {
public:
    Reader(const std::uint8_t* aData, std::size_t aLength) : mData(aData), mLength(aLength) {}
    bool Has(std::size_t aLength) const { return aLength <= mLength - mAt; }
    void Bytes(std::uint8_t* aOut, std::size_t aLength) {
        std::memcpy(aOut, mData + mAt, aLength);
        mAt += aLength;
    }
    template <typename T> T Number() {
        T value = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) value |= static_cast<T>(static_cast<T>(mData[mAt + i]) << (8 * i));
        mAt += sizeof(T);
        return value;
    }
    std::u16string Text(std::size_t aUnits) {
        std::u16string text(aUnits, u'\0');
        for (char16_t& c : text) c = static_cast<char16_t>(Number<std::uint16_t>());
        return text;
    }
    std::size_t At() const { return mAt; }

private:
    const std::uint8_t* mData;
    std::size_t mLength;
    std::size_t mAt = 0;
};

bool ValidKind(std::uint8_t aKind) {
    return aKind == static_cast<std::uint8_t>(ThreatKind::Infected) ||
           aKind == static_cast<std::uint8_t>(ThreatKind::PossibleThreat);
}

bool HasNul(const std::u16string& aText) { return aText.find(u'\0') != std::u16string::npos; }

} // namespace

std::vector<std::uint8_t> SerializeHeader(const ItemHeader& aHeader) {
    if (aHeader.Path.size() > kMaxPathLength || aHeader.Threat.size() > kMaxThreatLength)
        throw std::length_error("quarantine item header: path or threat name too long");
    const std::size_t length = kFixedHeaderLength + 2 * (aHeader.Path.size() + aHeader.Threat.size());
    Writer w;
    w.Bytes(kMagic, sizeof kMagic);
    w.Number(kVersion);
    w.Number<std::uint8_t>(static_cast<std::uint8_t>(aHeader.Kind));
    w.Number<std::uint8_t>(0);
    w.Number(static_cast<std::uint32_t>(length));
    w.Number(static_cast<std::uint32_t>(aHeader.Path.size()));
    w.Number(static_cast<std::uint32_t>(aHeader.Threat.size()));
    w.Number(aHeader.QuarantineTime);
    w.Number(aHeader.Size);
    w.Bytes(aHeader.Sha256.data(), aHeader.Sha256.size());
    w.Number(aHeader.Attributes);
    w.Number(aHeader.CreationTime);
    w.Number(aHeader.LastAccessTime);
    w.Number(aHeader.LastWriteTime);
    w.Bytes(aHeader.Key.data(), aHeader.Key.size());
    w.Bytes(aHeader.Nonce.data(), aHeader.Nonce.size());
    w.Text(aHeader.Path);
    w.Text(aHeader.Threat);
    return std::move(w.Out());
}

ParsedHeader ParseHeader(const std::uint8_t* aData, std::size_t aLength, std::uint64_t aItemSize) {
    ParsedHeader result;
    if (aLength < kFixedHeaderLength) {
        // A short file can never become a valid item; a short read of a long one can.
        result.Status = aItemSize >= kFixedHeaderLength ? HeaderStatus::NeedMore : HeaderStatus::Malformed;
        result.HeaderLength = kFixedHeaderLength;
        if (aLength >= sizeof kMagic && std::memcmp(aData, kMagic, sizeof kMagic) != 0) result.Status = HeaderStatus::Malformed;
        return result;
    }
    Reader r(aData, aLength);
    std::uint8_t magic[sizeof kMagic];
    r.Bytes(magic, sizeof magic);
    const auto version = r.Number<std::uint16_t>();
    const auto kind = r.Number<std::uint8_t>();
    const auto reserved = r.Number<std::uint8_t>();
    const auto headerLength = r.Number<std::uint32_t>();
    const auto pathUnits = r.Number<std::uint32_t>();
    const auto threatUnits = r.Number<std::uint32_t>();
    if (std::memcmp(magic, kMagic, sizeof kMagic) != 0 || version != kVersion || !ValidKind(kind) || reserved != 0 ||
        pathUnits == 0 || pathUnits > kMaxPathLength || threatUnits > kMaxThreatLength ||
        headerLength != kFixedHeaderLength + 2 * (std::uint64_t{pathUnits} + threatUnits) || headerLength > aItemSize)
        return result;
    result.HeaderLength = headerLength;
    if (aLength < headerLength) {
        result.Status = HeaderStatus::NeedMore;
        return result;
    }
    ItemHeader& h = result.Header;
    h.Kind = static_cast<ThreatKind>(kind);
    h.QuarantineTime = r.Number<std::uint64_t>();
    h.Size = r.Number<std::uint64_t>();
    r.Bytes(h.Sha256.data(), h.Sha256.size());
    h.Attributes = r.Number<std::uint32_t>();
    h.CreationTime = r.Number<std::uint64_t>();
    h.LastAccessTime = r.Number<std::uint64_t>();
    h.LastWriteTime = r.Number<std::uint64_t>();
    r.Bytes(h.Key.data(), h.Key.size());
    r.Bytes(h.Nonce.data(), h.Nonce.size());
    h.Path = r.Text(pathUnits);
    h.Threat = r.Text(threatUnits);
    if (h.Size != aItemSize - headerLength || HasNul(h.Path) || HasNul(h.Threat)) {
        result.Header = {};
        return result;
    }
    result.Status = HeaderStatus::Ok;
    return result;
}

} // namespace vault
