-- ardour7-lua reopen_session.lua dir=DIR name=NAME format=lv2|vst3 [save=1] [cutoff_ramp=1]
--
-- Loads an existing session and checks what it restored: one MIDI track with
-- Wobblytone (in the given format) as its instrument, the panel settings that
-- make_session.lua chose, one region holding A4, and, with cutoff_ramp=1, the
-- Cutoff lane still in Play with its points. With save=1 the session is then
-- saved again under the same name; either way it is closed.
--
-- Used for "save, close, reopen, export again": the plug-in has to come back
-- from its own saved state, and the second save is made from that state.

local here = string.match (debug.getinfo (1, "S").source, "^@(.*/)") or "./"
local C = dofile (here .. "session_common.lua")

local a = C.args ({ "dir", "name", "format" })

if not load_session (a.dir, a.name) then
	C.fail ("cannot load session '" .. a.name .. "' from " .. a.dir)
end
C.log ("loaded " .. a.dir .. " at " .. Session:nominal_sample_rate () .. " Hz")

local unknown = Session:unknown_processors ()
if not unknown:empty () then
	local names = {}
	for n in unknown:iter () do
		table.insert (names, n)
	end
	C.fail ("plug-ins that could not be restored: " .. table.concat (names, ", "))
end

local track = C.the_track ()
local proc, pi, plugin = C.the_instrument (track, a.format)
if not proc:active () then
	C.fail ("the instrument insert is not active after loading")
end

-- Let the restored state pass through the plug-in before reading it back.
C.let_engine_run ()

local bad = {}
for _, s in ipairs (C.SETTINGS) do
	local v = C.get_param (proc, plugin, s[1])
	C.log (string.format ("%s = %g (wanted %g)", s[1], v, s[2]))
	if math.abs (v - s[2]) > 1e-3 then
		table.insert (bad, string.format ("%s is %g, not %g", s[1], v, s[2]))
	end
end
if #bad > 0 then
	C.fail ("the reloaded plug-in lost its settings: " .. table.concat (bad, "; "))
end

local playlist = track:playlist ()
if playlist:n_regions () ~= 1 then
	C.fail ("the track holds " .. playlist:n_regions () .. " regions, not 1")
end
for r in playlist:region_list ():iter () do
	local notes = ARDOUR.LuaAPI.note_list (r:to_midiregion ():model ())
	local n = 0
	for note in notes:iter () do
		n = n + 1
		if note:note () ~= C.NOTE or note:velocity () ~= C.VELOCITY then
			C.fail (string.format ("the region holds note %d velocity %d", note:note (), note:velocity ()))
		end
	end
	if n ~= 1 then
		C.fail ("the region holds " .. n .. " notes, not 1")
	end
end
C.log (string.format ("session range %d..%d samples",
	Session:current_start_sample (), Session:current_end_sample ()))

if a.cutoff_ramp == "1" then
	local ac = C.cutoff_control (pi, plugin)
	local state = ac:automation_state ()
	local points = ac:alist ():size ()
	C.log (string.format ("Cutoff lane: %d points, %s", points, C.state_name (state)))
	if state ~= ARDOUR.AutoState.Play then
		C.fail ("the Cutoff lane came back in " .. C.state_name (state) .. ", not Play")
	end
	if points ~= #C.CUTOFF_RAMP then
		C.fail ("the Cutoff lane came back with " .. points .. " points, not " .. #C.CUTOFF_RAMP)
	end
end

if a.save == "1" then
	C.save ()
end
Session:close ()
C.log ("closed")
