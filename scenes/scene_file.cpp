#include "scenes/scene_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "os/files.h"
#include "util/printable.h"

namespace lumek {

using nlohmann::json;

// ---- The document's small sums -------------------------------------------

int64_t SceneDocument::frameCount() const {
    if (!duration) return 1;
    const double frames = std::nearbyint(*duration * framesPerSecond());
    return frames < 1.0 ? 1 : static_cast<int64_t>(frames);
}

namespace {

size_t expandedCount(SceneShapeType type, size_t points) {
    switch (type) {
        case SceneShapeType::Disc:
        case SceneShapeType::Segment:
            return 1;
        case SceneShapeType::Polyline:
            return points == 0 ? 0 : points - 1;
        case SceneShapeType::Polygon:
            return points;
    }
    return 0;
}

}  // namespace

size_t SceneDocument::expandedShapeCount() const {
    size_t count = 0;
    for (const SceneShape& s : shapes) count += expandedCount(s.type, s.points.size());
    return count;
}

std::string SceneError::text() const {
    std::string t = file;
    if (line > 0) {
        t.append(":").append(std::to_string(line));
        t.append(":").append(std::to_string(column));
    }
    t.append(": ");
    if (!path.empty()) t.append(path).append(": ");
    t.append(message);
    // The file's name and its fields' names are the file's own text.
    return printable(t);
}

// ---- Reading ---------------------------------------------------------------

namespace {

// Deeper nesting than this is no scene (the format itself goes 7 deep), and
// is refused before the parser builds it.
constexpr int kMaxDepth = 32;

const char* const kEasingNames[] = {"linear", "in", "out", "in-out", "step"};
const char* const kTypeNames[] = {"disc", "segment", "polyline", "polygon"};

// Where each value and each member name starts in the text, by path
// ("shapes[2].centre[0]"), and a number's own text (read again as a float
// with a single rounding).
struct Place {
    size_t offset = 0;
    size_t length = 0;
};

// Places by path, kept small (a file may hold millions of numbers): the
// path's 64-bit hash and the place, sorted once filled. A hash shared by two
// paths can only misplace an error or make a number fall back to its parsed
// double; the readers below check for that.
class PlaceIndex {
  public:
    void add(const std::string& path, size_t offset, size_t length) {
        entries_.push_back(
            {hash(path), static_cast<uint32_t>(offset), static_cast<uint32_t>(length)});
    }
    void sort() {
        std::stable_sort(entries_.begin(), entries_.end(),
                         [](const Entry& a, const Entry& b) { return a.key < b.key; });
    }
    std::optional<Place> find(const std::string& path) const {
        const uint64_t key = hash(path);
        const auto it = std::lower_bound(entries_.begin(), entries_.end(), key,
                                         [](const Entry& e, uint64_t k) { return e.key < k; });
        if (it == entries_.end() || it->key != key) return std::nullopt;
        return Place{it->offset, it->length};
    }

  private:
    struct Entry {
        uint64_t key;
        uint32_t offset;  // files are far smaller than 4 GiB
        uint32_t length;
    };
    static uint64_t hash(const std::string& path) {
        uint64_t h = 14695981039346656037ull;  // FNV-1a
        for (const char c : path) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        return h;
    }
    std::vector<Entry> entries_;
};

struct Places {
    PlaceIndex values;
    PlaceIndex names;
    std::string duplicate;       // the first member given twice, by path
    size_t duplicateOffset = 0;  // of its second name
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The offset just past the string that starts at `i` (a quote).
size_t pastString(const std::string& s, size_t i) {
    ++i;
    while (i < s.size() && s[i] != '"') i += s[i] == '\\' ? 2 : 1;
    return i + 1;
}

// The first offset at which brackets nest deeper than kMaxDepth, if any
// (strings skipped). Runs before the parser: text that is no JSON gives
// the parser's own error afterwards.
std::optional<size_t> tooDeep(const std::string& s) {
    int depth = 0;
    for (size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (c == '"') {
            i = pastString(s, i);
            continue;
        }
        if (c == '[' || c == '{') {
            if (++depth > kMaxDepth) return i;
        } else if (c == ']' || c == '}') {
            --depth;
        }
        ++i;
    }
    return std::nullopt;
}

std::string memberPath(const std::string& parent, const std::string& name) {
    return parent.empty() ? name : parent + "." + name;
}

// Records the places of text the parser has accepted (so every token is
// well formed and the nesting shallow).
Places scanPlaces(const std::string& s) {
    Places places;
    struct Level {
        std::string path;
        bool array;
        size_t index;
        std::unordered_set<std::string> names;
    };
    std::vector<Level> stack;
    size_t i = 0;
    auto skipSpace = [&] {
        while (i < s.size() && isSpace(s[i])) ++i;
    };
    std::string path;
    bool wantValue = true;
    for (;;) {
        if (wantValue) {
            skipSpace();
            const size_t start = i;
            const char c = s[i];
            if (c == '{' || c == '[') {
                places.values.add(path, start, 1);
                ++i;
                skipSpace();
                const bool array = c == '[';
                if (s[i] == (array ? ']' : '}')) {
                    ++i;
                    wantValue = false;
                    continue;
                }
                stack.push_back({path, array, 0, {}});
                if (array) {
                    path += "[0]";
                    continue;
                }
            } else {
                if (c == '"') {
                    i = pastString(s, i);
                } else {
                    while (i < s.size() && !isSpace(s[i]) && s[i] != ',' && s[i] != ']' &&
                           s[i] != '}')
                        ++i;
                }
                places.values.add(path, start, i - start);
                wantValue = false;
                continue;
            }
        } else {
            skipSpace();
            if (stack.empty()) {
                places.values.sort();
                places.names.sort();
                return places;
            }
            Level& top = stack.back();
            if (s[i] != ',') {
                ++i;  // the closing bracket
                stack.pop_back();
                continue;
            }
            ++i;
            ++top.index;
            if (top.array) {
                path = top.path + "[" + std::to_string(top.index) + "]";
                wantValue = true;
                continue;
            }
        }
        // A member's name, then its value.
        skipSpace();
        const size_t nameStart = i;
        i = pastString(s, i);
        Level& top = stack.back();
        std::string name = s.substr(nameStart + 1, i - nameStart - 2);
        path = memberPath(top.path, name);
        if (!top.names.insert(name).second && places.duplicate.empty()) {
            places.duplicate = path;
            places.duplicateOffset = nameStart;
        }
        places.names.add(path, nameStart, i - nameStart);
        skipSpace();
        ++i;  // the colon
        wantValue = true;
    }
}

size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t up = row[j];
            const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                              std::tolower(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()];
}

struct Fault {
    size_t offset;
    std::string path;
    std::string message;
};

std::string quoted(const std::string& text) { return json(text).dump(); }

class Reader {
  public:
    Reader(const std::string& text, const json& root) : text_(text), root_(root) {
        places_ = scanPlaces(text);
    }

    SceneDocument read() {
        if (!places_.duplicate.empty())
            fail(places_.duplicateOffset, places_.duplicate,
                 "this field is given twice; give it once");
        if (!root_.is_object())
            fail(0, "", "expected a JSON object with \"format\": \"lumek-scene\"");
        const auto format = root_.find("format");
        if (format == root_.end())
            fail(0, "", "not a scene file: expected \"format\": \"lumek-scene\"");
        if (!format->is_string() || format->get<std::string>() != kSceneFormatName)
            fail(at("format"), "format",
                 "another format: expected \"lumek-scene\", found " + format->dump());
        const json& version = need(root_, "", "version", "the format's version, 1");
        if (!version.is_number_integer() || version.get<int64_t>() < 1)
            fail(at("version"), "version", "expected the format's version, 1");
        if (version.get<int64_t>() > kSceneFormatVersion)
            fail(at("version"), "version",
                 "version " + version.dump() + " is newer than this program reads (" +
                     std::to_string(kSceneFormatVersion) + "); a newer Lumek reads it");
        known(root_, "",
              {"format", "version", "title", "size", "seed", "duration", "fps", "view", "shapes"});

        SceneDocument doc;
        if (const json* title = optional(root_, "title")) {
            if (!title->is_string()) fail(at("title"), "title", "expected a string");
            doc.title = title->get<std::string>();
        }
        if (const json* size = optional(root_, "size")) {
            if (!size->is_array() || size->size() != 2)
                fail(at("size"), "size", "expected [width, height] in pixels");
            doc.width = static_cast<int32_t>(
                integer((*size)[0], "size[0]", kMinPictureEdge, kMaxPictureEdge, "a width"));
            doc.height = static_cast<int32_t>(
                integer((*size)[1], "size[1]", kMinPictureEdge, kMaxPictureEdge, "a height"));
        }
        if (const json* seed = optional(root_, "seed"))
            doc.seed = static_cast<uint32_t>(
                integer(*seed, "seed", 0, std::numeric_limits<uint32_t>::max(), "a seed"));
        if (const json* duration = optional(root_, "duration")) {
            doc.duration = seconds(*duration, "duration");
            if (!(*doc.duration > 0.0))
                fail(at("duration"), "duration", "expected a duration above 0 seconds");
        }
        if (const json* fps = optional(root_, "fps"))
            doc.fps = static_cast<int>(integer(*fps, "fps", 1, kMaxSceneFps, "a frame rate"));

        doc.view = view(need(root_, "", "view", "the view"));
        const json& shapes = need(root_, "", "shapes", "the list of shapes");
        if (!shapes.is_array()) fail(at("shapes"), "shapes", "expected a list of shapes");
        size_t expanded = 0;
        std::unordered_map<std::string, size_t> ids;
        doc.shapes.reserve(std::min<size_t>(shapes.size(), kMaxSceneShapes));
        for (size_t i = 0; i < shapes.size(); ++i) {
            const std::string path = "shapes[" + std::to_string(i) + "]";
            doc.shapes.push_back(shape(shapes[i], path));
            const SceneShape& s = doc.shapes.back();
            if (!s.id.empty() && !ids.emplace(s.id, i).second)
                fail(at(path + ".id"), label(path + ".id"),
                     "the id is already that of shapes[" + std::to_string(ids[s.id]) +
                         "]; ids are unique");
            expanded += expandedCount(s.type, s.points.size());
            if (expanded > kMaxSceneShapes)
                fail(at(path), label(path),
                     "more than " + std::to_string(kMaxSceneShapes) +
                         " shapes (discs and segments, polylines and polygons counting one "
                         "per side): the most a scene holds");
            shapeId_.clear();
        }
        return doc;
    }

  private:
    [[noreturn]] void fail(size_t offset, const std::string& path, const std::string& message) {
        throw Fault{offset, path, message};
    }

    size_t at(const std::string& path) {
        return places_.values.find(path).value_or(Place{}).offset;
    }

    // The path as the error shows it: with the shape's id when it has one.
    std::string label(const std::string& path) const {
        return shapeId_.empty() ? path : path + " (id " + quoted(shapeId_) + ")";
    }

    const json& need(const json& object, const std::string& path, const char* name,
                     const std::string& what) {
        const auto it = object.find(name);
        if (it == object.end())
            fail(at(path), label(path),
                 std::string("missing field \"") + name + "\" (" + what + ")");
        return *it;
    }

    const json* optional(const json& object, const char* name) {
        const auto it = object.find(name);
        return it == object.end() ? nullptr : &*it;
    }

    void known(const json& object, const std::string& path,
               std::initializer_list<const char*> names) {
        for (auto it = object.begin(); it != object.end(); ++it) {
            bool found = false;
            for (const char* n : names) found |= it.key() == n;
            if (found) continue;
            const char* nearest = *names.begin();
            size_t best = std::numeric_limits<size_t>::max();
            for (const char* n : names) {
                const size_t d = editDistance(it.key(), n);
                if (d < best) best = d, nearest = n;
            }
            const std::string member = memberPath(path, it.key());
            const std::optional<Place> place = places_.names.find(member);
            fail(place ? place->offset : at(path), label(member),
                 "unknown field " + quoted(it.key()) + "; the nearest known field is \"" + nearest +
                     "\"");
        }
    }

    const std::string& numberText(const std::string& path) {
        static const std::string none;
        const std::optional<Place> place = places_.values.find(path);
        if (!place) return none;
        numberText_.assign(text_, place->offset, place->length);
        return numberText_;
    }

    int64_t integer(const json& value, const std::string& path, int64_t low, int64_t high,
                    const char* what) {
        const std::string range = std::to_string(low) + " to " + std::to_string(high);
        if (!value.is_number_integer())
            fail(at(path), label(path),
                 std::string("expected ") + what + ", a whole number " + range);
        const bool negative =
            value.is_number_integer() && !value.is_number_unsigned() && value.get<int64_t>() < 0;
        if (negative || value.get<uint64_t>() > static_cast<uint64_t>(high) ||
            value.get<int64_t>() < low)
            fail(at(path), label(path),
                 std::string("expected ") + what + " from " + range + ", found " + value.dump());
        return value.get<int64_t>();
    }

    // A number read from its text with one rounding to float.
    float single(const json& value, const std::string& path, double low, double high,
                 const std::string& what) {
        if (!value.is_number()) fail(at(path), label(path), "expected " + what + ", a number");
        const std::string& digits = numberText(path);
        const double d = value.get<double>();
        float f = 0.0f;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), f);
        double check = 0.0;
        const bool same = std::from_chars(digits.data(), digits.data() + digits.size(), check).ec ==
                              std::errc() &&
                          check == d;
        if (error == std::errc::result_out_of_range && same) {
            // Beyond a float's range: far too large, or so small it is 0.
            f = std::fabs(d) < 1.0 ? (std::signbit(d) ? -0.0f : 0.0f)
                                   : std::numeric_limits<float>::infinity();
        } else if (error != std::errc() || end != digits.data() + digits.size() || !same) {
            // Not this number's text (see PlaceIndex): its double, rounded.
            f = std::fabs(d) > std::numeric_limits<float>::max()
                    ? std::numeric_limits<float>::infinity()
                    : static_cast<float>(d);
        }
        if (!std::isfinite(f) || f < low || f > high) {
            char bounds[96];
            std::snprintf(bounds, sizeof bounds, " from %g to %g", low, high);
            fail(at(path), label(path), "expected " + what + bounds + ", found " + digits);
        }
        return f;
    }

    double seconds(const json& value, const std::string& path) {
        if (!value.is_number()) fail(at(path), label(path), "expected a time in seconds, a number");
        const std::string& digits = numberText(path);
        double d = 0.0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), d);
        if (error != std::errc() || end != digits.data() + digits.size()) d = value.get<double>();
        if (!(d >= 0.0 && d <= kMaxSceneSeconds)) {
            fail(at(path), label(path),
                 "expected a time from 0 to " + std::to_string(static_cast<int>(kMaxSceneSeconds)) +
                     " seconds, found " + digits);
        }
        return d;
    }

    float coordinate(const json& value, const std::string& path) {
        return single(value, path, -kMaxSceneCoordinate, kMaxSceneCoordinate, "a coordinate");
    }

    Vec2 point(const json& value, const std::string& path) {
        if (!value.is_array() || value.size() != 2)
            fail(at(path), label(path), "expected a point, [x, y]");
        return {coordinate(value[0], path + "[0]"), coordinate(value[1], path + "[1]")};
    }

    std::vector<Vec2> points(const json& value, const std::string& path, size_t least) {
        // Refused before reading them: no scene holds more.
        if (value.is_array() && value.size() > kMaxSceneShapes + 1)
            fail(at(path), label(path),
                 "more than " + std::to_string(kMaxSceneShapes + 1) +
                     " points: a scene holds at most " + std::to_string(kMaxSceneShapes) +
                     " shapes");
        if (!value.is_array() || value.size() < least)
            fail(at(path), label(path),
                 "expected a list of " + std::to_string(least) + " or more points, [[x, y], ...]");
        std::vector<Vec2> list;
        list.reserve(value.size());
        for (size_t i = 0; i < value.size(); ++i)
            list.push_back(point(value[i], path + "[" + std::to_string(i) + "]"));
        return list;
    }

    SceneColour colour(const json& value, const std::string& path) {
        if (value.is_string()) {
            const std::string s = value.get<std::string>();
            SceneColour c;
            bool ok = s.size() == 7 && s[0] == '#';
            for (size_t k = 1; ok && k < 7; ++k)
                ok = std::isxdigit(static_cast<unsigned char>(s[k]));
            int channels[3] = {0, 0, 0};
            for (int k = 0; ok && k < 3; ++k) {
                const auto [end, error] =
                    std::from_chars(s.data() + 1 + 2 * k, s.data() + 3 + 2 * k, channels[k], 16);
                ok = error == std::errc() && end == s.data() + 3 + 2 * k;
            }
            if (!ok)
                fail(at(path), label(path),
                     "expected a colour, \"#rrggbb\" (hexadecimal) or [r, g, b], found " +
                         value.dump());
            c.r = channels[0], c.g = channels[1], c.b = channels[2];
            return c;
        }
        if (!value.is_array() || value.size() != 3)
            fail(at(path), label(path),
                 "expected a colour, \"#rrggbb\" or [r, g, b] from 0 to 255");
        SceneColour c;
        c.r = static_cast<int32_t>(integer(value[0], path + "[0]", 0, 255, "a colour's red"));
        c.g = static_cast<int32_t>(integer(value[1], path + "[1]", 0, 255, "a colour's green"));
        c.b = static_cast<int32_t>(integer(value[2], path + "[2]", 0, 255, "a colour's blue"));
        return c;
    }

    float falloff(const json& value, const std::string& path) {
        return single(value, path, 0.0, kMaxFalloff, "a falloff");
    }

    float radius(const json& value, const std::string& path) {
        return single(value, path, 0.0, kMaxSceneCoordinate, "a radius");
    }

    Easing easing(const json& value, const std::string& path) {
        if (value.is_string())
            for (int k = 0; k < 5; ++k)
                if (value.get<std::string>() == kEasingNames[k]) return static_cast<Easing>(k);
        fail(at(path), label(path),
             "expected an easing: \"linear\", \"in\", \"out\", \"in-out\" or \"step\", found " +
                 value.dump());
    }

    void object(const json& value, const std::string& path, const char* what) {
        if (!value.is_object()) fail(at(path), label(path), std::string("expected ") + what);
    }

    // Keys in increasing time; each sets at least one value.
    template <typename Key, typename ReadKey>
    std::vector<Key> keys(const json& value, const std::string& path, ReadKey readKey) {
        if (!value.is_array())
            fail(at(path), label(path), "expected a list of keys, [{\"time\": ..., ...}, ...]");
        std::vector<Key> list;
        list.reserve(value.size());
        for (size_t i = 0; i < value.size(); ++i) {
            const std::string keyPath = path + "[" + std::to_string(i) + "]";
            const json& k = value[i];
            object(k, keyPath, "a key, {\"time\": seconds, ...}");
            Key key;
            key.time =
                seconds(need(k, keyPath, "time", "the key's time in seconds"), keyPath + ".time");
            if (!list.empty() && !(key.time > list.back().time))
                fail(at(keyPath + ".time"), label(keyPath + ".time"),
                     "expected a time after the key before's; keys go in increasing time");
            if (const json* e = optional(k, "easing")) key.easing = easing(*e, keyPath + ".easing");
            if (!readKey(k, keyPath, key))
                fail(at(keyPath), label(keyPath), "the key sets no value; give at least one");
            list.push_back(std::move(key));
        }
        return list;
    }

    SceneView view(const json& value) {
        object(value, "view", "the view, {\"centre\": [x, y], \"height\": h}");
        known(value, "view", {"centre", "height", "rotation", "keys"});
        SceneView v;
        v.centre = point(need(value, "view", "centre", "the view's centre, [x, y]"), "view.centre");
        v.height = viewHeight(need(value, "view", "height", "the view's height in scene units"),
                              "view.height");
        if (const json* r = optional(value, "rotation")) v.rotation = rotation(*r, "view.rotation");
        if (const json* k = optional(value, "keys"))
            v.keys = keys<ViewKey>(
                *k, "view.keys", [this](const json& key, const std::string& p, ViewKey& out) {
                    known(key, p, {"time", "easing", "centre", "height", "rotation"});
                    if (const json* c = optional(key, "centre"))
                        out.centre = point(*c, p + ".centre");
                    if (const json* h = optional(key, "height"))
                        out.height = viewHeight(*h, p + ".height");
                    if (const json* r = optional(key, "rotation"))
                        out.rotation = rotation(*r, p + ".rotation");
                    return out.centre || out.height || out.rotation;
                });
        return v;
    }

    float viewHeight(const json& value, const std::string& path) {
        const float h = single(value, path, 0.0, kMaxSceneCoordinate, "a view height");
        if (!(h > 0.0f)) fail(at(path), label(path), "expected a view height above 0");
        return h;
    }

    float rotation(const json& value, const std::string& path) {
        return single(value, path, -360000.0, 360000.0, "a rotation in degrees");
    }

    SceneShape shape(const json& value, const std::string& path) {
        object(value, path, "a shape, {\"type\": \"disc\", ...}");
        SceneShape s;
        if (const json* id = optional(value, "id")) {
            if (!id->is_string() || id->get<std::string>().empty())
                fail(at(path + ".id"), label(path + ".id"), "expected an id, a non-empty string");
            s.id = id->get<std::string>();
            shapeId_ = s.id;
        }
        if (value.find("type") == value.end())
            known(value, path,
                  {"type", "id", "centre", "radius", "start", "end", "points", "colour", "falloff",
                   "keys"});
        const json& type =
            need(value, path, "type", "\"disc\", \"segment\", \"polyline\" or \"polygon\"");
        bool typed = false;
        for (int k = 0; k < 4; ++k)
            if (type.is_string() && type.get<std::string>() == kTypeNames[k]) {
                s.type = static_cast<SceneShapeType>(k);
                typed = true;
            }
        if (!typed)
            fail(at(path + ".type"), label(path + ".type"),
                 "expected \"disc\", \"segment\", \"polyline\" or \"polygon\", found " +
                     type.dump());
        switch (s.type) {
            case SceneShapeType::Disc:
                known(value, path, {"type", "id", "centre", "radius", "colour", "falloff", "keys"});
                s.centre = point(need(value, path, "centre", "the disc's centre, [x, y]"),
                                 path + ".centre");
                s.radius =
                    radius(need(value, path, "radius", "the disc's radius"), path + ".radius");
                break;
            case SceneShapeType::Segment:
                known(value, path, {"type", "id", "start", "end", "colour", "falloff", "keys"});
                s.start = point(need(value, path, "start", "the first end point, [x, y]"),
                                path + ".start");
                s.end =
                    point(need(value, path, "end", "the second end point, [x, y]"), path + ".end");
                break;
            case SceneShapeType::Polyline:
            case SceneShapeType::Polygon: {
                known(value, path, {"type", "id", "points", "colour", "falloff", "keys"});
                const size_t least = s.type == SceneShapeType::Polyline ? 2 : 3;
                s.points = points(need(value, path, "points", "the list of points, [[x, y], ...]"),
                                  path + ".points", least);
                break;
            }
        }
        s.colour =
            colour(need(value, path, "colour", "\"#rrggbb\" or [r, g, b]"), path + ".colour");
        s.falloff = falloff(need(value, path, "falloff", "the distance falloff, 0 or more"),
                            path + ".falloff");
        if (const json* k = optional(value, "keys"))
            s.keys = keys<ShapeKey>(*k, path + ".keys",
                                    [this, &s](const json& key, const std::string& p,
                                               ShapeKey& out) { return shapeKey(key, p, s, out); });
        return s;
    }

    bool shapeKey(const json& key, const std::string& p, const SceneShape& s, ShapeKey& out) {
        switch (s.type) {
            case SceneShapeType::Disc:
                known(key, p, {"time", "easing", "centre", "radius", "colour", "falloff"});
                if (const json* c = optional(key, "centre")) out.centre = point(*c, p + ".centre");
                if (const json* r = optional(key, "radius")) out.radius = radius(*r, p + ".radius");
                break;
            case SceneShapeType::Segment:
                known(key, p, {"time", "easing", "start", "end", "colour", "falloff"});
                if (const json* a = optional(key, "start")) out.start = point(*a, p + ".start");
                if (const json* b = optional(key, "end")) out.end = point(*b, p + ".end");
                break;
            case SceneShapeType::Polyline:
            case SceneShapeType::Polygon:
                known(key, p, {"time", "easing", "points", "colour", "falloff"});
                if (const json* q = optional(key, "points")) {
                    out.points = points(*q, p + ".points", 0);
                    if (out.points->size() != s.points.size())
                        fail(at(p + ".points"), label(p + ".points"),
                             "expected " + std::to_string(s.points.size()) +
                                 " points, as many as the shape has");
                }
                break;
        }
        if (const json* c = optional(key, "colour")) out.colour = colour(*c, p + ".colour");
        if (const json* f = optional(key, "falloff")) out.falloff = falloff(*f, p + ".falloff");
        return out.centre || out.radius || out.start || out.end || out.points || out.colour ||
               out.falloff;
    }

    const std::string& text_;
    const json& root_;
    Places places_;
    std::string numberText_;
    std::string shapeId_;  // of the shape being read
};

// Line and column (both from 1; the column counts bytes) of a text offset.
void placeOf(const std::string& text, size_t offset, SceneError& error) {
    offset = std::min(offset, text.size());
    int64_t line = 1;
    size_t lineStart = 0;
    for (size_t i = 0; i < offset; ++i)
        if (text[i] == '\n') ++line, lineStart = i + 1;
    error.line = line;
    error.column = static_cast<int64_t>(offset - lineStart) + 1;
}

// The parser's message without its own preamble ("[json.exception...]
// parse error at line 1, column 2: syntax error while parsing value - ").
std::string syntaxMessage(const std::string& what) {
    const std::string marker = "syntax error while parsing ";
    size_t at = what.find(marker);
    if (at == std::string::npos) return "not JSON: " + what;
    const size_t dash = what.find(" - ", at);
    at = dash == std::string::npos ? at + marker.size() : dash + 3;
    return "not JSON: " + what.substr(at);
}

}  // namespace

SceneParse parseScene(const std::string& text, const std::string& fileName) {
    SceneParse result;
    result.error.file = fileName;
    if (const auto deep = tooDeep(text)) {
        placeOf(text, *deep, result.error);
        result.error.message = "not a scene: lists and objects nested more than " +
                               std::to_string(kMaxDepth) + " deep";
        return result;
    }
    // The parsed tree takes up to about 40 times the text, and freeing a
    // tree that a failed allocation cut short allocates too (which would end
    // the program): so the room is asked for before parsing starts.
    try {
        // Kept in a volatile so that the compiler cannot leave the
        // allocation out.
        static char* volatile probe = nullptr;
        std::unique_ptr<char[]> room(new char[text.size() * 40 + (size_t(1) << 20)]);
        probe = room.get();
        static_cast<void>(probe);
    } catch (const std::bad_alloc&) {
        result.error.message = "not enough memory to read it (about " +
                               std::to_string(text.size() * 40 / 1000000 + 1) + " MB)";
        return result;
    }
    // The JSON reader takes a NUL byte for the end of the text: what follows
    // one (a damaged file's rest) would go unread and unsaid.
    if (const size_t nul = text.find('\0'); nul != std::string::npos) {
        placeOf(text, nul, result.error);
        result.error.message = "not JSON: a NUL byte (no text holds one; is the file damaged?)";
        return result;
    }
    json root;
    try {
        root = json::parse(text);
    } catch (const json::parse_error& e) {
        placeOf(text, e.byte == 0 ? 0 : e.byte - 1, result.error);
        result.error.message = syntaxMessage(e.what());
        return result;
    } catch (const json::out_of_range& e) {
        // A number beyond a double's range ("1e400"): the parser names its
        // text, but not where it is; its first appearance is.
        const std::string what = e.what();
        const std::string marker = "number overflow parsing '";
        const size_t at = what.find(marker);
        std::string number;
        if (at != std::string::npos) {
            number = what.substr(at + marker.size());
            number = number.substr(0, number.find('\''));
        }
        const size_t place = number.empty() ? std::string::npos : text.find(number);
        placeOf(text, place == std::string::npos ? 0 : place, result.error);
        result.error.message =
            number.empty() ? "a number too large to read" : "a number too large to read: " + number;
        return result;
    }
    try {
        Reader reader(text, root);
        result.document = reader.read();
    } catch (const Fault& fault) {
        placeOf(text, fault.offset, result.error);
        result.error.path = fault.path;
        result.error.message = fault.message;
    }
    return result;
}

SceneParse loadScene(const std::string& path) {
    std::string text, error;
    const os::ReadResult read = os::readRegularFile(path, kMaxSceneFileBytes, text, error);
    if (read != os::ReadResult::Read) {
        SceneParse result;
        result.error.file = path;
        result.error.message = error;
        return result;
    }
    return parseScene(text, path);
}

// ---- Writing ----------------------------------------------------------------

namespace {

std::string number(float f) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, f).ptr;
    return std::string(buffer, end);
}

std::string number(double d) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, d).ptr;
    return std::string(buffer, end);
}

std::string point(Vec2 p) { return "[" + number(p.x) + ", " + number(p.y) + "]"; }

std::string pointList(const std::vector<Vec2>& points) {
    std::string s = "[";
    for (size_t i = 0; i < points.size(); ++i) s += (i ? ", " : "") + point(points[i]);
    return s + "]";
}

std::string colourText(SceneColour c) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", c.r & 0xff, c.g & 0xff, c.b & 0xff);
    return std::string("\"") + buffer + "\"";
}

// "name": value, appended to a member list.
void member(std::string& out, const char* name, const std::string& value) {
    if (out.size() > 1) out += ", ";
    out += "\"";
    out += name;
    out += "\": ";
    out += value;
}

void keyStart(std::string& k, double time, Easing easing) {
    k = "{";
    member(k, "time", number(time));
    if (easing != Easing::Linear)
        member(k, "easing", quoted(kEasingNames[static_cast<int>(easing)]));
}

// Keys one a line below the owner's line.
std::string keyList(const std::vector<std::string>& keys, const char* indent) {
    std::string s = "[\n";
    for (size_t i = 0; i < keys.size(); ++i)
        s += std::string(indent) + "  " + keys[i] + (i + 1 < keys.size() ? ",\n" : "\n");
    return s + indent + "]";
}

bool isPositiveZero(float f) { return f == 0.0f && !std::signbit(f); }

}  // namespace

std::string writeScene(const SceneDocument& doc) {
    std::string out = "{\n";
    auto line = [&out](const char* name, const std::string& value, bool last = false) {
        out += "  \"";
        out += name;
        out += "\": ";
        out += value;
        out += last ? "\n" : ",\n";
    };
    line("format", quoted(kSceneFormatName));
    line("version", std::to_string(kSceneFormatVersion));
    if (!doc.title.empty()) line("title", quoted(doc.title));
    if (doc.width && doc.height)
        line("size", "[" + std::to_string(*doc.width) + ", " + std::to_string(*doc.height) + "]");
    if (doc.seed) line("seed", std::to_string(*doc.seed));
    if (doc.duration) line("duration", number(*doc.duration));
    if (doc.fps) line("fps", std::to_string(*doc.fps));

    std::string view = "{";
    member(view, "centre", point(doc.view.centre));
    member(view, "height", number(doc.view.height));
    if (!isPositiveZero(doc.view.rotation)) member(view, "rotation", number(doc.view.rotation));
    if (!doc.view.keys.empty()) {
        std::vector<std::string> keys;
        for (const ViewKey& key : doc.view.keys) {
            std::string k;
            keyStart(k, key.time, key.easing);
            if (key.centre) member(k, "centre", point(*key.centre));
            if (key.height) member(k, "height", number(*key.height));
            if (key.rotation) member(k, "rotation", number(*key.rotation));
            keys.push_back(k + "}");
        }
        member(view, "keys", keyList(keys, "  "));
    }
    line("view", view + "}");

    std::string shapes = "[";
    for (size_t i = 0; i < doc.shapes.size(); ++i) {
        const SceneShape& s = doc.shapes[i];
        std::string o = "{";
        member(o, "type", quoted(kTypeNames[static_cast<int>(s.type)]));
        if (!s.id.empty()) member(o, "id", quoted(s.id));
        switch (s.type) {
            case SceneShapeType::Disc:
                member(o, "centre", point(s.centre));
                member(o, "radius", number(s.radius));
                break;
            case SceneShapeType::Segment:
                member(o, "start", point(s.start));
                member(o, "end", point(s.end));
                break;
            case SceneShapeType::Polyline:
            case SceneShapeType::Polygon:
                member(o, "points", pointList(s.points));
                break;
        }
        member(o, "colour", colourText(s.colour));
        member(o, "falloff", number(s.falloff));
        if (!s.keys.empty()) {
            std::vector<std::string> keys;
            for (const ShapeKey& key : s.keys) {
                std::string k;
                keyStart(k, key.time, key.easing);
                if (key.centre) member(k, "centre", point(*key.centre));
                if (key.radius) member(k, "radius", number(*key.radius));
                if (key.start) member(k, "start", point(*key.start));
                if (key.end) member(k, "end", point(*key.end));
                if (key.points) member(k, "points", pointList(*key.points));
                if (key.colour) member(k, "colour", colourText(*key.colour));
                if (key.falloff) member(k, "falloff", number(*key.falloff));
                keys.push_back(k + "}");
            }
            member(o, "keys", keyList(keys, "    "));
        }
        shapes += "\n    " + o + "}" + (i + 1 < doc.shapes.size() ? "," : "");
    }
    shapes += doc.shapes.empty() ? "]" : "\n  ]";
    line("shapes", shapes, true);
    return out + "}\n";
}

// ---- Posing ------------------------------------------------------------------

namespace {

double eased(Easing easing, double u) {
    switch (easing) {
        case Easing::Linear:
            return u;
        case Easing::In:
            return u * u;
        case Easing::Out:
            return 1.0 - (1.0 - u) * (1.0 - u);
        case Easing::InOut:
            return u * u * (3.0 - 2.0 * u);
        case Easing::Step:
            return u < 1.0 ? 0.0 : 1.0;
    }
    return u;
}

// Where `seconds` falls among the keys that set a value: the key before
// (or at) it, the key after it and the eased fraction between. `has`
// says whether a key sets the value.
template <typename Key, typename Has>
bool between(const std::vector<Key>& keys, double seconds, Has has, const Key*& a, const Key*& b,
             double& w) {
    a = b = nullptr;
    for (const Key& k : keys) {
        if (!has(k)) continue;
        if (k.time <= seconds) {
            a = &k;
        } else {
            b = &k;
            break;
        }
    }
    if (a == nullptr && b == nullptr) return false;
    if (a == nullptr) a = b;  // before the first key: its value
    if (b == nullptr) b = a;  // after the last: its value
    w = a == b ? 0.0 : eased(b->easing, (seconds - a->time) / (b->time - a->time));
    return true;
}

float mix(float x, float y, double w) {
    return static_cast<float>(static_cast<double>(x) + (static_cast<double>(y) - x) * w);
}
Vec2 mix(Vec2 p, Vec2 q, double w) { return {mix(p.x, q.x, w), mix(p.y, q.y, w)}; }
int32_t mixChannel(int32_t x, int32_t y, double w) {
    return static_cast<int32_t>(std::floor(x + (y - x) * w + 0.5));
}
SceneColour mix(SceneColour p, SceneColour q, double w) {
    return {mixChannel(p.r, q.r, w), mixChannel(p.g, q.g, w), mixChannel(p.b, q.b, w)};
}
std::vector<Vec2> mix(const std::vector<Vec2>& p, const std::vector<Vec2>& q, double w) {
    std::vector<Vec2> r(p.size());
    for (size_t i = 0; i < p.size(); ++i) r[i] = mix(p[i], q[i], w);
    return r;
}

// The value at `seconds` of the member `field` (an optional in each key),
// or `base` when no key sets it.
template <typename Key, typename T, typename Field>
T valueAt(const std::vector<Key>& keys, double seconds, const T& base, Field field) {
    const Key *a, *b;
    double w;
    if (!between(
            keys, seconds, [&](const Key& k) { return (k.*field).has_value(); }, a, b, w))
        return base;
    if (w == 0.0) return *(a->*field);
    if (w == 1.0) return *(b->*field);
    return mix(*(a->*field), *(b->*field), w);
}

// The picture's axes for a rotation in degrees; quarter turns exact.
void axesFor(float degrees, Vec2& axisX, Vec2& axisY) {
    double turn = std::fmod(static_cast<double>(degrees), 360.0);
    if (turn < 0) turn += 360.0;
    double c, s;
    if (turn == 0.0) {
        c = 1, s = 0;
    } else if (turn == 90.0) {
        c = 0, s = 1;
    } else if (turn == 180.0) {
        c = -1, s = 0;
    } else if (turn == 270.0) {
        c = 0, s = -1;
    } else {
        const double a = turn * (3.14159265358979323846 / 180.0);
        c = std::cos(a), s = std::sin(a);
    }
    axisX = {static_cast<float>(c), static_cast<float>(s)};
    axisY = {static_cast<float>(-s), static_cast<float>(c)};
    if (axisY.x == 0.0f) axisY.x = 0.0f;  // no negative zero
}

void setSegment(SegmentShape& shape, Vec2 a, Vec2 b) {
    shape.setStart(a.x, a.y);
    shape.setEnd(b.x, b.y);
}

}  // namespace

void poseScene(const SceneDocument& doc, double seconds, PosedScene& scene) {
    const SceneView& v = doc.view;
    const Vec2 centre = valueAt(v.keys, seconds, v.centre, &ViewKey::centre);
    scene.pose.viewCentre = centre;
    scene.pose.viewHeight = valueAt(v.keys, seconds, v.height, &ViewKey::height);
    axesFor(valueAt(v.keys, seconds, v.rotation, &ViewKey::rotation), scene.pose.axisX,
            scene.pose.axisY);

    // The shapes' kinds in order; the old ones are kept when they match.
    std::vector<ShapeKind> kinds;
    kinds.reserve(doc.expandedShapeCount());
    for (const SceneShape& s : doc.shapes) {
        const ShapeKind kind =
            s.type == SceneShapeType::Disc ? ShapeKind::Circle : ShapeKind::Segment;
        kinds.insert(kinds.end(), expandedCount(s.type, s.points.size()), kind);
    }
    bool same = kinds.size() == scene.owned_.size();
    for (size_t i = 0; same && i < kinds.size(); ++i) same = scene.owned_[i]->kind() == kinds[i];
    if (!same) {
        scene.list_.clear();
        scene.owned_.clear();
        scene.owned_.reserve(kinds.size());
        for (ShapeKind kind : kinds) {
            if (kind == ShapeKind::Circle)
                scene.owned_.push_back(std::make_unique<CircleShape>());
            else
                scene.owned_.push_back(std::make_unique<SegmentShape>());
            scene.list_.pushBack(scene.owned_.back().get());
        }
    }

    size_t next = 0;
    for (const SceneShape& s : doc.shapes) {
        const SceneColour c = valueAt(s.keys, seconds, s.colour, &ShapeKey::colour);
        const float falloff = valueAt(s.keys, seconds, s.falloff, &ShapeKey::falloff);
        auto paint = [&](Shape& shape) {
            shape.setColor(std::clamp(c.r, 0, 255), std::clamp(c.g, 0, 255),
                           std::clamp(c.b, 0, 255));
            shape.setFalloff(falloff);
        };
        switch (s.type) {
            case SceneShapeType::Disc: {
                auto& disc = static_cast<CircleShape&>(*scene.owned_[next++]);
                const Vec2 at = valueAt(s.keys, seconds, s.centre, &ShapeKey::centre);
                disc.setCircle(valueAt(s.keys, seconds, s.radius, &ShapeKey::radius), at.x, at.y);
                paint(disc);
                break;
            }
            case SceneShapeType::Segment: {
                auto& segment = static_cast<SegmentShape&>(*scene.owned_[next++]);
                setSegment(segment, valueAt(s.keys, seconds, s.start, &ShapeKey::start),
                           valueAt(s.keys, seconds, s.end, &ShapeKey::end));
                paint(segment);
                break;
            }
            case SceneShapeType::Polyline:
            case SceneShapeType::Polygon: {
                const std::vector<Vec2> p = valueAt(s.keys, seconds, s.points, &ShapeKey::points);
                const size_t sides = expandedCount(s.type, p.size());
                for (size_t k = 0; k < sides; ++k) {
                    auto& segment = static_cast<SegmentShape&>(*scene.owned_[next++]);
                    setSegment(segment, p[k], p[(k + 1) % p.size()]);
                    paint(segment);
                }
                break;
            }
        }
    }
}

double sceneFrameTime(const SceneDocument& document, int64_t frame) {
    return static_cast<double>(frame) / document.framesPerSecond();
}

int64_t sceneFrameAt(const SceneDocument& document, double seconds) {
    if (!document.animated() || !(seconds > 0.0)) return 0;
    // The small allowance keeps a time written as frame / fps on its frame;
    // times beyond any scene's length stay countable.
    const double frame = std::floor(seconds * document.framesPerSecond() + 1e-9);
    const double last = kMaxSceneSeconds * kMaxSceneFps;
    return static_cast<int64_t>(frame < last ? frame : last);
}

uint32_t frameMix(uint32_t h) {
    // The 32-bit finaliser of MurmurHash3: every input bit reaches every
    // output bit, and 0 stays 0.
    h ^= h >> 16;
    h *= 0x85ebca6bu;
    h ^= h >> 13;
    h *= 0xc2b2ae35u;
    h ^= h >> 16;
    return h;
}

uint32_t sceneFrameState(uint32_t seed, int64_t frame) {
    return seed ^ frameMix(static_cast<uint32_t>(frame));
}

// ---- Built-in scenes as documents -------------------------------------------------

namespace {

// An end point that gives back the segment's stored direction exactly
// (end - start rounded to float), found next to start + dir.
Vec2 segmentEnd(const SegmentShape& s) {
    auto solve = [](float start, float dir) {
        const float guess = static_cast<float>(static_cast<double>(start) + dir);
        float up = guess, down = guess;
        for (int step = 0; step < 64; ++step) {
            if (static_cast<float>(static_cast<double>(up) - start) == dir) return up;
            if (static_cast<float>(static_cast<double>(down) - start) == dir) return down;
            up = std::nextafter(up, std::numeric_limits<float>::infinity());
            down = std::nextafter(down, -std::numeric_limits<float>::infinity());
        }
        throw std::invalid_argument("a segment whose direction no end point gives");
    };
    return {solve(s.start.x, s.dir.x), solve(s.start.y, s.dir.y)};
}

}  // namespace

SceneDocument sceneFromShapes(const ShapeList& shapes, Vec2 viewCentre, float viewHeight,
                              const std::string& title) {
    SceneDocument doc;
    doc.title = title;
    doc.view.centre = viewCentre;
    doc.view.height = viewHeight;
    for (const Shape* shape : shapes) {
        SceneShape s;
        if (shape->red < 0 || shape->red > 255 || shape->green < 0 || shape->green > 255 ||
            shape->blue < 0 || shape->blue > 255)
            throw std::invalid_argument("a colour beyond 0 to 255");
        s.colour = {shape->red, shape->green, shape->blue};
        s.falloff = shape->falloff;
        if (shape->kind() == ShapeKind::Circle) {
            const auto& c = static_cast<const CircleShape&>(*shape);
            s.type = SceneShapeType::Disc;
            s.centre = c.centre;
            s.radius = c.radius;
        } else {
            const auto& g = static_cast<const SegmentShape&>(*shape);
            s.type = SceneShapeType::Segment;
            s.start = g.start;
            s.end = segmentEnd(g);
        }
        doc.shapes.push_back(std::move(s));
    }
    return doc;
}

}  // namespace lumek
