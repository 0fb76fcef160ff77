import flash.display.Sprite;
import flash.display.StageAlign;
import flash.display.StageScaleMode;
import flash.events.Event;
import flash.text.TextField;

/**
	A movie for the host's tests: makes the external calls its flashvars
	list, at start and once more after a delay, and answers the host's calls.

	Flashvars:
	- calls / callsJson: made at start (simple and JSON form, see CallList;
	  the simple list first);
	- laterCalls / laterCallsJson: made once after laterMs milliseconds
	  (default 1000);
	Callbacks:
	- flashSetting(args...): returns "flashSetting received" and, on the
	  next tick, calls flashSettingReceived with the same arguments;
	- echo(value, ...): returns its first argument unchanged.
	A list that cannot be decoded is reported by calling testMovieError
	with the reason.
**/
class TestMovie extends Sprite {
	var text:TextField;
	var lines:Array<String> = [];

	static function main() {
		var stage = flash.Lib.current.stage;
		stage.scaleMode = StageScaleMode.NO_SCALE;
		stage.align = StageAlign.TOP_LEFT;
		var movie = new TestMovie();
		flash.Lib.current.addChild(movie);
		try {
			movie.start();
		} catch (e:Dynamic) {
			movie.show("error: " + Std.string(e));
		}
	}

	public function new() {
		super();
		text = Theme.block(600, 12, Theme.PALE);
		text.x = 12;
		text.y = 36;
		var title = Theme.label("Tessary test movie", 16, Theme.GOLD, true);
		title.x = 12;
		title.y = 8;
		addChild(title);
		addChild(text);
		// Not yet on the stage while constructed: use the root's stage.
		flash.Lib.current.stage.addEventListener(Event.RESIZE, function(_) layout());
		layout();
	}

	function start() {
		var vars:Dynamic = flash.Lib.current.loaderInfo.parameters;
		show("flashvars: " + HostCalls.describe(vars));
		var registered = HostCalls.register("flashSetting", flashSetting) && HostCalls.register("echo", echo);
		show(registered ? "callbacks flashSetting and echo registered" : "no host: callbacks not registered");

		makeCalls(Reflect.field(vars, "calls"), Reflect.field(vars, "callsJson"));
		var later = Reflect.field(vars, "laterCalls");
		var laterJson = Reflect.field(vars, "laterCallsJson");
		if (later != null || laterJson != null) {
			var delay = CallList.parseDelay(Reflect.field(vars, "laterMs"), 1000);
			haxe.Timer.delay(() -> makeCalls(later, laterJson), delay);
		}
	}

	function makeCalls(simple:String, json:String) {
		var calls = CallList.parseSimple(simple);
		try {
			calls = calls.concat(CallList.parseJson(json, undefinedValue()));
		} catch (reason:Dynamic) {
			show(HostCalls.call("testMovieError", ["callsJson: " + Std.string(reason)]));
		}
		for (call in calls)
			show(HostCalls.call(call.name, call.args));
	}

	function flashSetting(args:Array<Dynamic>):Dynamic {
		show("host called flashSetting(" + HostCalls.describeAll(args) + ")");
		// Answer first; report on the next tick, outside the host's call.
		haxe.Timer.delay(() -> show(HostCalls.call("flashSettingReceived", args)), 1);
		return "flashSetting received";
	}

	function echo(args:Array<Dynamic>):Dynamic {
		show("host called echo(" + HostCalls.describeAll(args) + ")");
		return args.length > 0 ? args[0] : null;
	}

	/** The player's own undefined, which JSON cannot write. */
	static function undefinedValue():Dynamic {
		// Reflect.field turns a missing field into null; a plain read does not.
		var nothing:Dynamic = {};
		return untyped nothing["missing"];
	}

	function show(line:String) {
		lines.push(line);
		while (lines.length > 30)
			lines.shift();
		text.text = lines.join("\n");
	}

	function layout() {
		var stage = flash.Lib.current.stage;
		var width = stage.stageWidth > 0 ? stage.stageWidth : 800;
		var height = stage.stageHeight > 0 ? stage.stageHeight : 600;
		Theme.backdrop(graphics, width, height);
		text.width = Math.max(100, width - 24);
	}
}
