#include "settings/user_presets.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "settings/replacement_file.h"
#include "settings/tone_file_format.h"
#include "settings/utf16.h"

namespace qv {

namespace {

constexpr std::array<uint8_t, 4> kTag{0x51, 0x56, 0x00, 0x00};
// The name's byte length is a 16-bit field.
constexpr std::size_t kMaxNameBytes = 0xFFFF;
constexpr std::size_t kMaxStoredUnits = kMaxNameBytes / 2;

void putWord(std::vector<uint8_t>& out, std::size_t value)
{
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

// Reads little-endian words and byte runs off the front of a span.
class Reader {
public:
    explicit Reader(std::span<const uint8_t> bytes) : rest_(bytes) {}

    bool word(std::size_t& value)
    {
        if (rest_.size() < 2)
            return false;
        value = rest_[0] | (rest_[1] << 8);
        rest_ = rest_.subspan(2);
        return true;
    }
    bool take(std::size_t size, std::span<const uint8_t>& run)
    {
        if (rest_.size() < size)
            return false;
        run = rest_.first(size);
        rest_ = rest_.subspan(size);
        return true;
    }
    std::span<const uint8_t> rest() const { return rest_; }
    void skip(std::size_t size) { rest_ = rest_.subspan(size); }

private:
    std::span<const uint8_t> rest_;
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

UserPresetsResult ioError(int error) { return {UserPresetsStatus::IoError, std::strerror(error)}; }

}  // namespace

std::size_t presetNameLength(std::string_view name) { return toUtf16(name).size(); }

std::string truncatePresetName(std::string_view name)
{
    return toUtf8(utf16Head(toUtf16(name), kMaxPresetNameLength));
}

std::string proposedPresetName(std::string_view imageName)
{
    return std::string(imageName.substr(0, std::min(imageName.rfind('.'), imageName.size())));
}

bool addUserPreset(UserPresetList& presets, const ToneSettings& current, std::string_view name)
{
    if (!canAddUserPreset(presets) || name.empty())
        return false;
    ToneSettings preset;
    copyToneValues(current, preset);
    preset.name = truncatePresetName(name);
    presets.push_back(std::move(preset));
    return true;
}

std::optional<ToneChange> userPresetChange(const UserPresetList& presets, std::size_t index,
                                           const ToneSettings& current)
{
    if (index >= presets.size())
        return std::nullopt;
    return wholeRecordChange(presets[index], current);
}

std::vector<uint8_t> encodeUserPresets(const UserPresetList& presets)
{
    std::vector<uint8_t> out(kTag.begin(), kTag.end());
    putWord(out, presets.size());
    for (const ToneSettings& preset : presets) {
        const std::u16string full = toUtf16(preset.name);
        const std::u16string_view name = utf16Head(full, kMaxStoredUnits);
        putWord(out, 2 * name.size());
        for (char16_t unit : name)
            putWord(out, unit);
        const auto record = encodeToneFile(preset);
        out.insert(out.end(), record.begin(), record.end());
    }
    return out;
}

UserPresetsStatus decodeUserPresets(std::span<const uint8_t> bytes, UserPresetList& presets, std::size_t limit)
{
    Reader in(bytes);
    std::span<const uint8_t> tag;
    if (!in.take(kTag.size(), tag) || !std::equal(tag.begin(), tag.end(), kTag.begin()))
        return UserPresetsStatus::WrongTag;
    std::size_t count = 0;
    if (!in.word(count))
        return UserPresetsStatus::Damaged;

    for (std::size_t entry = 0; entry < std::min(count, limit); ++entry) {
        std::size_t nameBytes = 0;
        std::span<const uint8_t> nameRun;
        if (!in.word(nameBytes) || !in.take(nameBytes, nameRun))
            return UserPresetsStatus::Damaged;
        std::u16string units(nameBytes / 2, u'\0');
        for (std::size_t i = 0; i < units.size(); ++i)
            units[i] = static_cast<char16_t>(nameRun[2 * i] | (nameRun[2 * i + 1] << 8));

        ToneSettings preset;
        const ToneFileDecode record = decodeToneFile(in.rest(), preset);
        if (record.status != ToneFileStatus::Ok)
            return UserPresetsStatus::Damaged;
        in.skip(record.size);
        preset.name = toUtf8(units);
        presets.push_back(std::move(preset));
    }
    return UserPresetsStatus::Ok;
}

UserPresetsResult loadUserPresets(UserPresetList& presets, const std::string& path, std::size_t limit)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return errno == ENOENT ? UserPresetsResult{UserPresetsStatus::Missing, {}} : ioError(errno);
    // The most that `limit` entries can take; anything beyond is never looked at.
    const std::size_t largest = 6 + std::min(limit, kMaxUserPresets) * (2 + kMaxNameBytes + kToneFileSize);
    std::vector<uint8_t> bytes;
    uint8_t block[4096];
    std::size_t read = 0;
    while (bytes.size() < largest && (read = std::fread(block, 1, sizeof block, file.get())) > 0)
        bytes.insert(bytes.end(), block, block + read);
    if (std::ferror(file.get()))
        return ioError(errno ? errno : EIO);
    return {decodeUserPresets(bytes, presets, limit), {}};
}

UserPresetsResult saveUserPresets(const UserPresetList& presets, const std::string& path)
{
    const std::vector<uint8_t> bytes = encodeUserPresets(presets);
    const int error = replaceFileContent(path, bytes.data(), bytes.size());
    return error == 0 ? UserPresetsResult{} : ioError(error);
}

}  // namespace qv
