#include "modules/guiutil/preset_increment_fixer.h"

#include <optional>
#include <string>
#include <vector>

#include "runtime/gui/mp_gui_drawing.h"

namespace {
constexpr std::u16string_view kRangeWord = u"range";
// The numbers of a range start after the word and one separator, whatever it is.
constexpr size_t kRangeNumbersStart = 6;

bool isSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

std::u16string trimmed(std::u16string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && isSpace(s[b]))
        ++b;
    while (e > b && isSpace(s[e - 1]))
        --e;
    return std::u16string(s.substr(b, e - b));
}

std::u16string decimalText(int32_t v) {
    const std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

// Adds one without overflowing: the step stays defined at the end of the int32 range.
int32_t plusOne(int32_t v) {
    return static_cast<int32_t>(static_cast<uint32_t>(v) + 1u);
}
} // namespace

ListValueIterator::ListValueIterator(const std::u16string& text) : listText(text) {
    rangeMode =
        listText.size() >= kRangeWord.size() && std::u16string_view(listText).substr(0, 5) == kRangeWord;
    if (!rangeMode) return;
    if (listText.size() < kRangeNumbersStart) {
        // Exactly the word: its numbers would start past the text, so it has no items.
        position = 1;
        rangeHigh = 0;
        return;
    }
    const std::u16string_view rest = std::u16string_view(listText).substr(kRangeNumbersStart);
    position = pq::gui::readDecimal32(rest.data(), rest.size());
    const size_t comma = rest.find(u',');
    rangeHigh = comma == std::u16string_view::npos
                    ? position
                    : pq::gui::readDecimal32(rest.data() + comma + 1, rest.size() - comma - 1);
}

void ListValueIterator::first() {
    if (rangeMode) {
        value = static_cast<int32_t>(static_cast<uint32_t>(position) - 1u);
    } else {
        position = 0;
        value = -1;
    }
    index = -1;
    next();
}

void ListValueIterator::next() {
    if (rangeMode) {
        // Stops at the high end without stepping past the int32 range.
        const bool exhausted = (index >= 0 && value >= rangeHigh) || (index < 0 && position > rangeHigh);
        ++index;
        value = plusOne(value);
        itemText = decimalText(value);
        if (exhausted) index = -1;
        return;
    }
    ++index;
    value = plusOne(value);
    if (position < 0 || static_cast<size_t>(position) >= listText.size()) {
        index = -1;
        return;
    }
    const std::u16string_view all(listText);
    const size_t start = static_cast<size_t>(position);
    const size_t comma = all.find(u',', start);
    const size_t end = comma == std::u16string_view::npos ? all.size() : comma;
    position = static_cast<int32_t>(comma == std::u16string_view::npos ? all.size() : comma + 1);
    const std::u16string_view item = all.substr(start, end - start);
    const size_t equals = item.find(u'=');
    if (equals == std::u16string_view::npos) {
        itemText = trimmed(item);
    } else {
        itemText = trimmed(item.substr(0, equals));
        value = pq::gui::readDecimal32(item.data() + equals + 1, item.size() - equals - 1);
    }
}

Pq_presetincrementfixerGui::Pq_presetincrementfixerGui() {
    pq::attachPins<kPins>(this, pq::notifying(value, &Pq_presetincrementfixerGui::rememberValue), valueList,
                          pq::notifying(increment, &Pq_presetincrementfixerGui::stepUp),
                          pq::notifying(decrement, &Pq_presetincrementfixerGui::stepDown), wrap);
}

void Pq_presetincrementfixerGui::rememberValue(int32_t) {
    if (value.getValue() > 0) rememberedValue = value.getValue();
}

void Pq_presetincrementfixerGui::stepUp(int32_t) {
    if (!increment.getValue()) step(+1);
}

void Pq_presetincrementfixerGui::stepDown(int32_t) {
    if (!decrement.getValue()) step(-1);
}

void Pq_presetincrementfixerGui::step(int direction) {
    ListValueIterator it(valueList.getValue());
    it.first();
    if (it.done()) return;

    int32_t current = value.getValue();
    if (current < 0) current = rememberedValue;

    int32_t candidate = current;
    int32_t firstValue = 0;
    int32_t lastValue = 0;
    if (it.rangeMode) {
        // The items are low..high, consecutive and distinct: the walk reduces to arithmetic,
        // so that a range of any width steps at once.
        firstValue = it.position;
        lastValue = it.rangeHigh;
        const bool member = current >= firstValue && current <= lastValue;
        if (direction > 0)
            candidate = !member ? firstValue : (current < lastValue ? current + 1 : current);
        else
            candidate = !member ? lastValue : (current > firstValue ? current - 1 : current);
    } else {
        std::vector<int32_t> values;
        for (; !it.done(); it.next())
            values.push_back(it.value);
        firstValue = values.front();
        lastValue = values.back();
        size_t found = values.size();
        for (size_t i = 0; i < values.size(); ++i) {
            if (values[i] == current) {
                found = i;
                break;
            }
        }
        if (found == values.size()) {
            candidate = direction > 0 ? firstValue : lastValue;
        } else if (direction > 0) {
            candidate = current;
            for (size_t i = found + 1; i < values.size(); ++i) {
                if (values[i] != current) {
                    candidate = values[i];
                    break;
                }
            }
        } else {
            candidate = found == 0 ? current : values[found - 1];
        }
    }

    if (wrap.getValue()) {
        if (direction > 0 && current == lastValue) candidate = firstValue;
        if (direction < 0 && current == firstValue) candidate = lastValue;
    }
    value.setValue(candidate);
    rememberedValue = candidate;
}
