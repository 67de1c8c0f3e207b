#include "settings/tone_defaults.h"

#include <gtest/gtest.h>

#include <vector>

#include "settings/key_value_store.h"

namespace qv {
namespace {

// Remembers the order in which values are written.
class RecordingStore : public MemoryStore {
public:
    void writeInt(const std::string& section, const std::string& name, long long value) override
    {
        written.push_back(section + "/" + name);
        MemoryStore::writeInt(section, name, value);
    }
    std::vector<std::string> written;
};

void storeAll(MemoryStore& store, long long value)
{
    for (const ToneField& f : toneFields())
        store.writeInt(kSettingsSection, f.name, value);
}

TEST(ToneDefaults, MissingValuesTakeTheirFallbacks)
{
    MemoryStore store;
    store.writeInt("Inna", "Lightness", 70);  // another section does not count
    ToneSettings record = presetByCommand(32808)->settings;
    record.name = "zostaje";
    readToneDefaults(store, record);

    ToneSettings expected;
    expected.Lightness = 50;  // the stored-default fallback differs from the construction default
    EXPECT_EQ(compareToneSettings(record, expected), 0u);
    EXPECT_EQ(record.Lightness, 50);
    EXPECT_EQ(record.name, "zostaje");
}

TEST(ToneDefaults, StoredValuesAreClampedIntoTheirRanges)
{
    MemoryStore store;
    storeAll(store, -7);
    ToneSettings low;
    readToneDefaults(store, low);
    for (const ToneField& f : toneFields())
        EXPECT_EQ(low.*f.member, std::string(f.name) == "SharpnessRadius" ? 4 : 0) << f.name;

    storeAll(store, 1'000'000'000'000LL);
    ToneSettings high;
    readToneDefaults(store, high);
    for (const ToneField& f : toneFields())
        EXPECT_EQ(high.*f.member, f.max) << f.name;

    for (const auto& [stored, expected] :
         std::vector<std::pair<long long, int>>{{2, 4}, {3, 4}, {4, 4}, {23, 23}, {40, 40}, {41, 40}}) {
        store.writeInt(kSettingsSection, "SharpnessRadius", stored);
        ToneSettings r;
        readToneDefaults(store, r);
        EXPECT_EQ(r.SharpnessRadius, expected) << "stored " << stored;
    }
}

TEST(ToneDefaults, WrittenInOrderAndReadBackEqual)
{
    RecordingStore store;
    ToneSettings written = presetByCommand(32809)->settings;
    written.Sharpness = 150;
    written.SharpnessRadius = 12;
    writeToneDefaults(store, written);
    EXPECT_EQ(store.written,
              (std::vector<std::string>{"Settings/Opacity", "Settings/Opacity2", "Settings/GrayPoint",
                                        "Settings/DetectSH", "Settings/Details", "Settings/Smoothing",
                                        "Settings/ColorNR", "Settings/Mode", "Settings/Saturation",
                                        "Settings/Contrast", "Settings/Gamma", "Settings/Softness",
                                        "Settings/Lightness", "Settings/Sharpness", "Settings/SharpnessRadius"}));
    EXPECT_EQ(store.readInt(kSettingsSection, "Softness"), 50);
    ToneSettings read;
    readToneDefaults(store, read);
    EXPECT_EQ(compareToneSettings(read, written), 0u);
}

}  // namespace
}  // namespace qv
