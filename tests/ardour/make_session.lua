-- ardour7-lua make_session.lua dir=DIR name=NAME format=lv2|vst3 [bundle=PATH] [cutoff_ramp=1] [preset=NAME]
--
-- Creates a 48 kHz session in DIR (which must not exist yet) on the Dummy
-- backend with one MIDI track whose instrument is Wobblytone in the given
-- format, sets the panel so that it sounds (see session_common.lua), puts a
-- MIDI region with A4 (velocity 100) from 0 s to 3 s on the track, sets the
-- session range to 0 s .. 4 s and saves.
--
-- With cutoff_ramp=1 the Cutoff parameter also gets an automation lane in
-- Play mode that falls from 1.0 at 0 s to 0.1 at 3 s.
--
-- bundle=PATH restricts the VST3 look-up to a module inside that bundle.
--
-- preset=NAME loads the plug-in's preset of that label after the settings,
-- as a user picks it from the preset list, and logs how many presets Ardour
-- lists for the plug-in.

local here = string.match (debug.getinfo (1, "S").source, "^@(.*/)") or "./"
local C = dofile (here .. "session_common.lua")

local a = C.args ({ "dir", "name", "format" })
local sr = C.SAMPLE_RATE

if not create_session (a.dir, a.name, sr) then
	C.fail ("cannot create session '" .. a.name .. "' in " .. a.dir)
end
if Session:nominal_sample_rate () ~= sr then
	C.fail ("session runs at " .. Session:nominal_sample_rate () .. " Hz, not " .. sr)
end
C.log ("created session " .. a.dir .. " on " .. AudioEngine:current_backend_name ())

-- The track, with Wobblytone as its instrument.
local info = C.plugin_info (a.format, a.bundle)
local tracks = Session:new_midi_track (
	ARDOUR.ChanCount (ARDOUR.DataType ("midi"), 1),
	ARDOUR.ChanCount (ARDOUR.DataType ("audio"), 2),
	false, info, nil, nil, 1, "Wobblytone",
	ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true)
if tracks:size () ~= 1 then
	C.fail ("cannot add a MIDI track with the instrument")
end
local track = C.the_track ()
local proc, pi, plugin = C.the_instrument (track, a.format)
if not proc:active () then
	C.fail ("the instrument insert is not active")
end

for _, s in ipairs (C.SETTINGS) do
	C.set_param (proc, plugin, s[1], s[2])
end

if a.preset and a.preset ~= "" then
	-- Every program of the bank (programs/factory.bank, by its [names]) as
	-- one of the presets Ardour offers for the plug-in.
	local bank = io.open (here .. "../../programs/factory.bank")
	if not bank then
		C.fail ("cannot read programs/factory.bank")
	end
	local names, listed = 0, 0
	for line in bank:lines () do
		local name = string.match (line, "^%[(.*)%]$")
		if name then
			names = names + 1
			if plugin:preset_by_label (name) then
				listed = listed + 1
			end
		end
	end
	bank:close ()
	C.log (string.format ("presets listed: %d of the bank's %d", listed, names))
	local r = plugin:preset_by_label (a.preset)
	if not r then
		C.fail ("Ardour lists no preset '" .. a.preset .. "'")
	end
	if not plugin:load_preset (r) then
		C.fail ("cannot load the preset '" .. a.preset .. "'")
	end
	-- The plug-in takes the program in a process cycle.
	C.let_engine_run ()
	C.log ("loaded the preset " .. r.label)
end

-- The region. Lua cannot make a MIDI source directly, but bouncing the still
-- empty track without processing writes an empty SMF of the wanted length and
-- hands back a whole-file MIDI region on it; the note then goes into its model.
local length = C.SESSION_SECONDS * sr
local region = track:bounce_range (0, length, ARDOUR.InterThreadInfo (),
	ARDOUR.LuaAPI.nil_proc (), false, "A4")
if region:isnil () or region:to_midiregion ():isnil () then
	C.fail ("cannot create a MIDI region")
end
local model = region:to_midiregion ():model ()
local tm = Temporal.TempoMap.read ()
local note_len = tm:quarters_at_sample (C.NOTE_SECONDS * sr)
local cmd = model:new_note_diff_command ("add A4")
cmd:add (ARDOUR.LuaAPI.new_noteptr (0, Temporal.Beats (0, 0), note_len, C.NOTE, C.VELOCITY))
model:apply_diff_command_as_commit (Session, cmd)

-- Adding the region as an "insert region" operation lets the session create
-- its range from the region, as it does when a user inserts one.
local playlist = track:playlist ()
Session:begin_reversible_command ("insert region")
playlist:to_stateful ():clear_changes ()
playlist:add_region (region, Temporal.timepos_t (0), 1, false)
Session:add_stateful_diff_command (playlist:to_statefuldestructible ())
Session:commit_reversible_command (nil)
if playlist:n_regions () ~= 1 then
	C.fail ("the region did not land on the track")
end

local range = Session:locations ():session_range_location ()
if not range then
	C.fail ("the session has no session range")
end
range:set (Temporal.timepos_t (0), Temporal.timepos_t (length))
if Session:current_start_sample () ~= 0 or Session:current_end_sample () ~= length then
	C.fail (string.format ("session range is %d..%d, wanted 0..%d",
		Session:current_start_sample (), Session:current_end_sample (), length))
end
C.log (string.format ("region: A4 velocity %d for %s beats; session range 0..%d samples",
	C.VELOCITY, note_len:str (), length))

if a.cutoff_ramp == "1" then
	local n = C.find_param (plugin, C.CUTOFF)
	local al, cl, pd = ARDOUR.LuaAPI.plugin_automation (proc, n)
	if al:isnil () then
		C.fail ("no automation list for '" .. C.CUTOFF .. "'")
	end
	cl:clear_list ()
	for _, p in ipairs (C.CUTOFF_RAMP) do
		cl:add (Temporal.timepos_t (math.floor (p[1] * sr)), p[2], false, true)
	end
	local ac = C.cutoff_control (pi, plugin)
	ac:set_automation_state (ARDOUR.AutoState.Play)
	if ac:automation_state () ~= ARDOUR.AutoState.Play then
		C.fail ("the Cutoff lane is in " .. C.state_name (ac:automation_state ()) .. ", not Play")
	end
	C.log (string.format ("Cutoff lane: %d points, %s", cl:size (), C.state_name (ac:automation_state ())))
end

C.save ()
