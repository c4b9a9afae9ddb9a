// SPDX-License-Identifier: ISC
// The plug-in as DPF declares it to hosts.
#pragma once

#include "editor/panel_ids.h"
#include "wobblytone_identity.h"

#define DISTRHO_PLUGIN_BRAND WOBBLYTONE_MAKER
#define DISTRHO_PLUGIN_NAME WOBBLYTONE_NAME
#define DISTRHO_PLUGIN_URI WOBBLYTONE_URI
#define DISTRHO_PLUGIN_CLAP_ID WOBBLYTONE_REVERSE_DOMAIN_ID
#define DISTRHO_PLUGIN_BRAND_ID WOBBLYTONE_MAKER_CODE
#define DISTRHO_PLUGIN_UNIQUE_ID WOBBLYTONE_PLUGIN_CODE
#define WOBBLYTONE_DESCRIPTION "A monophonic synthesizer in the manner of a worn vintage unit."
// What the CLAP descriptor shows, taken from here rather than from an instance.
#define WOBBLYTONE_CLAP_HOME_PAGE WOBBLYTONE_SITE
#define WOBBLYTONE_CLAP_VERSION WOBBLYTONE_VERSION_TEXT
#define WOBBLYTONE_CLAP_DESCRIPTION WOBBLYTONE_DESCRIPTION

// The editor: a DGL Cairo UI in the same process as the engine, which it
// reads through direct access.
#define DISTRHO_PLUGIN_HAS_UI 1
#define DISTRHO_UI_USE_CAIRO 1
#define DISTRHO_PLUGIN_WANT_DIRECT_ACCESS 1
#define DISTRHO_UI_DEFAULT_WIDTH kWindowDefaultWidth
#define DISTRHO_UI_DEFAULT_HEIGHT kWindowDefaultHeight
// Hosts may resize the editor's window; the panel follows at any scale
// between 25 % and 200 % of the full panel.
#define DISTRHO_UI_USER_RESIZABLE 1
#define WOBBLYTONE_UI_MAXIMUM_WIDTH kWindowMaximumWidth
#define WOBBLYTONE_UI_MAXIMUM_HEIGHT kWindowMaximumHeight
#define DISTRHO_PLUGIN_IS_RT_SAFE 1
#define DISTRHO_PLUGIN_IS_SYNTH 1
#define DISTRHO_PLUGIN_NUM_INPUTS 0
#define DISTRHO_PLUGIN_NUM_OUTPUTS 2
#define DISTRHO_PLUGIN_WANT_MIDI_INPUT 1
#define DISTRHO_PLUGIN_WANT_STATE 1
#define DISTRHO_PLUGIN_WANT_FULL_STATE 1
// The factory bank: LV2 presets, the VST3 program parameter and Program Change.
#define DISTRHO_PLUGIN_WANT_PROGRAMS 1
#define DISTRHO_PLUGIN_WANT_PARAMETER_VALUE_CHANGE_REQUEST 1
#define DISTRHO_PLUGIN_LV2_CATEGORY "lv2:InstrumentPlugin"
#define DISTRHO_PLUGIN_VST3_CATEGORIES "Instrument|Synth"
#define DISTRHO_PLUGIN_CLAP_FEATURES "instrument", "synthesizer", "stereo"
