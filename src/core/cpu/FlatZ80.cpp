#include "core/cpu/FlatZ80.h"

namespace velmar {

template class Z80Engine<FlatZ80>;

} // namespace velmar
