import flash.display.Sprite;
import flash.display.StageAlign;
import flash.display.StageScaleMode;
import flash.events.Event;
import flash.text.TextField;

/**
	The demo game's loader movie: shows the server and the parameters the
	host handed over, and offers the four calls a game makes to its host.
	The host may ask it for its display settings through "flashSetting".
**/
class GameLoader extends Sprite {
	static inline var CONTENT_WIDTH = 760;
	static inline var LOG_LINES = 7;
	static var FIRST_KEYS = ["serverid", "gameaddress", "resourceHost", "mainVersion"];

	var backdrop = new Sprite();
	var panels = new Sprite();
	var title:TextField;
	var server:TextField;
	var paramsTitle:TextField;
	var params:TextField;
	var logTitle:TextField;
	var logText:TextField;
	var rune = new Sprite();
	var buttons:Array<PushButton> = [];
	var logLines:Array<String> = [];
	var settingsAsked = 0;

	static function main() {
		var stage = flash.Lib.current.stage;
		stage.scaleMode = StageScaleMode.NO_SCALE;
		stage.align = StageAlign.TOP_LEFT;
		flash.Lib.current.addChild(new GameLoader());
	}

	public function new() {
		super();
		var vars:Dynamic = flash.Lib.current.loaderInfo.parameters;
		var address = Reflect.field(vars, "gameaddress");
		addChild(backdrop);
		addChild(panels);
		title = Theme.label("TESSARY", 30, Theme.GOLD, true);
		server = Theme.label("Server: " + (address == null || address == "" ? "(none)" : shorten(address)), 18, Theme.PALE);
		paramsTitle = Theme.label("Game parameters (flashvars)", 13, Theme.DIM);
		params = Theme.block(CONTENT_WIDTH - 32, 13, Theme.PALE);
		params.text = describeParameters(vars);
		logTitle = Theme.label("Calls between movie and host", 13, Theme.DIM);
		logText = Theme.block(CONTENT_WIDTH - 32, 12, Theme.GREEN);
		for (child in [title, server, paramsTitle, params, logTitle, logText])
			addChild(child);
		drawRune();
		addChild(rune);

		buttons.push(new PushButton("Reload", 172, () -> log(HostCalls.call("reload", []))));
		buttons.push(new PushButton("New close question", 172,
			() -> log(HostCalls.call("setReloadTips", ["确定要离开吗? (demo)"]))));
		buttons.push(new PushButton("Maximise/restore", 172, () -> log(HostCalls.call("setWindowMax", []))));
		buttons.push(new PushButton("Disconnect", 172, () -> log(HostCalls.call("disconnection", []))));
		for (button in buttons)
			addChild(button);

		if (HostCalls.register("flashSetting", showSettings))
			log("ready: the host may call flashSetting");
		else
			log("no host: ExternalInterface is not available");

		// Not yet on the stage while constructed: use the root's stage.
		flash.Lib.current.stage.addEventListener(Event.RESIZE, function(_) layout());
		addEventListener(Event.ENTER_FRAME, function(_) rune.rotation += 2);
		layout();
	}

	function showSettings(args:Array<Dynamic>):Dynamic {
		settingsAsked++;
		log("host asked flashSetting(" + HostCalls.describeAll(args) + "), " + settingsAsked + " time(s)");
		return "display settings shown";
	}

	function log(line:String) {
		logLines.push(line);
		while (logLines.length > LOG_LINES)
			logLines.shift();
		logText.text = logLines.join("\n");
	}

	function layout() {
		var stage = flash.Lib.current.stage;
		var width = stage.stageWidth > 0 ? stage.stageWidth : 1000;
		var height = stage.stageHeight > 0 ? stage.stageHeight : 600;
		Theme.backdrop(backdrop.graphics, width, height);
		var contentWidth = Math.min(CONTENT_WIDTH, width - 32);
		var left = Math.round((width - contentWidth) / 2);
		var top = Math.max(16, Math.round((height - 470) / 3));

		title.x = left + 44;
		title.y = top;
		rune.x = left + 16;
		rune.y = top + 22;
		server.x = left + contentWidth - server.width;
		server.y = top + 12;

		var g = panels.graphics;
		g.clear();
		g.lineStyle(1, Theme.EDGE);
		g.moveTo(left, top + 52);
		g.lineTo(left + contentWidth, top + 52);
		g.lineStyle();

		var y = top + 66;
		paramsTitle.x = left;
		paramsTitle.y = y;
		params.width = contentWidth - 32;
		params.x = left + 16;
		params.y = y + 30;
		var paramsHeight = Math.max(80, params.height + 24);
		Theme.panel(g, left, y + 22, contentWidth, paramsHeight);

		y += 22 + paramsHeight + 18;
		var gap = 12.0;
		var slot = (contentWidth - gap * 3) / 4;
		var buttonWidth = Math.min(172, slot);
		for (i in 0...buttons.length) {
			buttons[i].setWidth(buttonWidth);
			buttons[i].x = Math.round(left + i * (slot + gap) + (slot - buttonWidth) / 2);
			buttons[i].y = y;
		}

		y += 34 + 20;
		logTitle.x = left;
		logTitle.y = y;
		logText.width = contentWidth - 32;
		logText.x = left + 16;
		logText.y = y + 30;
		Theme.panel(g, left, y + 22, contentWidth, 24 + 16 * LOG_LINES);
	}

	function drawRune() {
		var g = rune.graphics;
		g.lineStyle(2, 0xC08A3A);
		g.beginFill(0x5A1D10);
		g.moveTo(0, -14);
		g.lineTo(14, 0);
		g.lineTo(0, 14);
		g.lineTo(-14, 0);
		g.lineTo(0, -14);
		g.endFill();
		g.lineStyle();
		g.beginFill(0xFFCF70);
		g.drawCircle(0, 0, 4);
		g.endFill();
	}

	static function describeParameters(vars:Dynamic):String {
		var keys = Reflect.fields(vars);
		var ordered = [for (k in FIRST_KEYS) if (keys.indexOf(k) >= 0) k];
		var rest = [for (k in keys) if (FIRST_KEYS.indexOf(k) < 0) k];
		rest.sort((a, b) -> a < b ? -1 : a > b ? 1 : 0);
		var lines = [for (k in ordered.concat(rest)) k + " = " + shorten(Std.string(Reflect.field(vars, k)))];
		return lines.length == 0 ? "(none: the host passed no flashvars)" : lines.join("\n");
	}

	static function shorten(text:String):String {
		return text.length <= 90 ? text : text.substr(0, 90) + "...";
	}
}
