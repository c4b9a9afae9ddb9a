-- Helpers shared by the ardour7-lua scripts that build, check and re-save a
-- Wobblytone session headlessly (Dummy backend).
--
-- Every failure goes to stderr with a "wobblytone-ardour:" prefix and is then
-- raised as a Lua error, which makes ardour7-lua exit with status 1 after it
-- has closed the session.

local M = {}

M.LV2_URI = "https://marlpitmusic.com/plugins/wobblytone"
M.VST3_NAME = "Wobblytone"
M.VST3_MAKER = "Marlpit Music"
M.SAMPLE_RATE = 48000

-- The note every session plays: A4 from 0 s to 3 s inside a 4 s session
-- range, so the export holds the release as well.
M.NOTE = 69
M.VELOCITY = 100
M.NOTE_SECONDS = 3
M.SESSION_SECONDS = 4

-- Panel settings (plain values) that make the instrument sound at once and at
-- concert pitch: switched on, mains at 220 V / 50 Hz, tubes already warm,
-- oscillator 1 in the 8' range.
M.SETTINGS = {
	{ "Power", 1 },
	{ "Voltage", 1 },
	{ "Warm-Up", 2 },
	{ "Osc-1 Range", 3 },
}

-- The Cutoff lane: 1.0 at the start, falling linearly to 0.1 at 3 s.
M.CUTOFF = "Cutoff"
M.CUTOFF_RAMP = { { 0, 1.0 }, { 3, 0.1 } }

function M.fail (msg)
	io.stderr:write ("wobblytone-ardour: " .. msg .. "\n")
	io.stderr:flush ()
	error (msg, 0)
end

function M.log (msg)
	print ("wobblytone-ardour: " .. msg)
	-- flushed, so that a step ended for taking too long shows how far it got
	io.stdout:flush ()
end

-- Parses the script's arguments, given as key=value words.
function M.args (required)
	local a = {}
	for i = 1, #arg do
		local k, v = string.match (arg[i], "^([%w_]+)=(.*)$")
		if not k then
			M.fail ("argument '" .. arg[i] .. "' is not key=value")
		end
		a[k] = v
	end
	for _, k in ipairs (required) do
		if not a[k] or a[k] == "" then
			M.fail ("missing argument " .. k .. "=...")
		end
	end
	if a.format and a.format ~= "lv2" and a.format ~= "vst3" then
		M.fail ("format must be lv2 or vst3, not '" .. a.format .. "'")
	end
	return a
end

local function starts_with (s, prefix)
	return prefix == nil or prefix == "" or string.sub (s, 1, #prefix) == prefix
end

-- Finds the plug-in in Ardour's index. For VST3 the index only holds plug-ins
-- whose scan cache is valid, so a miss there usually means the scanner has not
-- run (or ran in the same second the module was written). When a bundle path
-- is given, only a VST3 module inside that bundle is accepted, so another copy
-- installed on the machine cannot stand in for the one under test.
function M.plugin_info (format, bundle)
	local found = {}
	for p in ARDOUR.LuaAPI.list_plugins ():iter () do
		if format == "lv2" then
			if p.type == ARDOUR.PluginType.LV2 and p.unique_id == M.LV2_URI then
				table.insert (found, p)
			end
		else
			if p.type == ARDOUR.PluginType.VST3 and p.name == M.VST3_NAME
				and p.creator == M.VST3_MAKER and starts_with (p.path, bundle) then
				table.insert (found, p)
			end
		end
	end
	if #found == 0 then
		if format == "lv2" then
			M.fail ("LV2 plug-in " .. M.LV2_URI .. " not found (check LV2_PATH)")
		end
		M.fail ("VST3 plug-in '" .. M.VST3_NAME .. "' by '" .. M.VST3_MAKER .. "' not found"
			.. (bundle and (" in " .. bundle) or "")
			.. " (no valid scan cache? run ardour-vst3-scanner -f on the bundle first)")
	end
	if #found > 1 then
		M.fail (#found .. " " .. format .. " plug-ins match; cannot tell which one to test")
	end
	M.log ("plug-in: " .. found[1].name .. " [" .. found[1].unique_id .. "] " .. found[1].path)
	return found[1]
end

-- The session's only MIDI track.
function M.the_track ()
	local found
	for t in Session:get_tracks ():iter () do
		if not t:to_track ():to_midi_track ():isnil () then
			if found then
				M.fail ("the session has more than one MIDI track")
			end
			found = t:to_track ()
		end
	end
	if not found then
		M.fail ("the session has no MIDI track")
	end
	return found
end

-- The track's instrument insert, checked to be Wobblytone in the wanted format.
function M.the_instrument (track, format)
	local proc = track:the_instrument ()
	if proc:isnil () then
		M.fail ("track '" .. track:name () .. "' has no instrument")
	end
	local pi = proc:to_insert ()
	if pi:isnil () then
		M.fail ("the instrument on '" .. track:name () .. "' is not a plug-in insert")
	end
	local plugin = pi:plugin (0)
	local want = (format == "lv2") and ARDOUR.PluginType.LV2 or ARDOUR.PluginType.VST3
	if plugin:isnil () or pi:type () ~= want or plugin:name () ~= M.VST3_NAME then
		M.fail ("the instrument is '" .. proc:display_name () .. "', not " .. format .. " Wobblytone")
	end
	return proc, pi, plugin
end

-- Looks a parameter up by its label. Returns the index that
-- ARDOUR.LuaAPI.set/get_processor_param and plugin_automation take, and the
-- plug-in's own parameter id that Evoral.Parameter takes.
function M.find_param (plugin, label)
	for n = 0, plugin:parameter_count () - 1 do
		local id, refs = plugin:nth_parameter (n, false)
		if refs[2] and plugin:parameter_is_input (id) and plugin:parameter_label (id) == label then
			return n, id
		end
	end
	M.fail ("the plug-in has no input parameter '" .. label .. "'")
end

function M.get_param (proc, plugin, label)
	local n = M.find_param (plugin, label)
	local v, refs = ARDOUR.LuaAPI.get_processor_param (proc, n, false)
	if not refs[3] then
		M.fail ("cannot read parameter '" .. label .. "'")
	end
	return v
end

function M.set_param (proc, plugin, label, value)
	local n = M.find_param (plugin, label)
	if not ARDOUR.LuaAPI.set_processor_param (proc, n, value) then
		M.fail ("cannot set parameter '" .. label .. "' to " .. value .. " (out of range?)")
	end
	M.log (string.format ("set %s = %g", label, value))
end

function M.cutoff_control (pi, plugin)
	local _, id = M.find_param (plugin, M.CUTOFF)
	local ac = pi:to_automatable ():automation_control (
		Evoral.Parameter (ARDOUR.AutomationType.PluginAutomation, 0, id), false)
	if ac:isnil () then
		M.fail ("no automation control for '" .. M.CUTOFF .. "'")
	end
	return ac
end

local function state_name (s)
	for _, k in ipairs ({ "Off", "Play", "Write", "Touch", "Latch" }) do
		if s == ARDOUR.AutoState[k] then
			return k
		end
	end
	return tostring (s)
end
M.state_name = state_name

-- A VST3 plug-in sees parameter changes only inside its process call, and
-- Ardour saves a VST3's state from what the processor holds. Waiting for a few
-- engine cycles makes sure every change made from this script has been
-- processed before the session is saved, otherwise the saved state (and with
-- it the reloaded session) would still hold the previous values.
function M.let_engine_run ()
	if not ARDOUR.LuaAPI.wait_for_process_callback (8, 10000) then
		M.fail ("the engine did not run any process cycles")
	end
end

function M.save ()
	M.let_engine_run ()
	if Session:save_state ("", false, false, false, false, false) ~= 0 then
		M.fail ("saving the session failed")
	end
	M.log ("saved " .. ARDOUR.LuaAPI.build_filename (Session:path (), Session:name () .. ".ardour"))
end

return M
