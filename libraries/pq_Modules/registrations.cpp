// The all-module library: every module of the pack on the newest runtime edition.
#include "runtime/audio/mp_registration.h"

#include "modules/tuner/pq_tuner.h"
#include "modules/wavetable/array_lfo.h"
#include "modules/wavetable/array_osc.h"
#include "modules/envelope/envelope3.h"
#include "modules/guiutil/bool_text.h"
#include "modules/guiutil/click_rectangle.h"
#include "modules/guiutil/double_click_reset.h"
#include "modules/guiutil/float_reset_x2.h"
#include "modules/guiutil/preset_increment_fixer.h"
#include "modules/guiutil/text_rectangle.h"
#include "modules/waveeditor/wave_editor.h"

const pq::LibraryInfo pq::libraryInfo = {30800, true};

PQ_REGISTER_MODULE(pqTuner);
PQ_REGISTER_MODULE(ArrayLFO);
PQ_REGISTER_MODULE(ArrayOsc);
PQ_REGISTER_MODULE(Envelope3);
PQ_REGISTER_MODULE(BoolText);
PQ_REGISTER_MODULE(pq_ClickRectangleGui);
PQ_REGISTER_MODULE(pq_TextRectangle);
PQ_REGISTER_MODULE(DoubleClickReset);
PQ_REGISTER_MODULE(pq_FloatResetX2);
PQ_REGISTER_MODULE(Pq_presetincrementfixerGui);
PQ_REGISTER_MODULE(waveEditor);
