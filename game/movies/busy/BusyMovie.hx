import flash.display.BlendMode;
import flash.display.GradientType;
import flash.display.Shape;
import flash.display.Sprite;
import flash.display.StageAlign;
import flash.display.StageScaleMode;
import flash.events.Event;
import flash.geom.Matrix;
import flash.text.TextField;

/**
	A demanding movie for measuring the player: hundreds of sprites that
	move, turn and fade every frame over a gradient, each a gradient-filled
	star, and text that changes every frame. Once a second it tells the
	host its frame rate: "frameRate"(frames per second over that second,
	frames played so far).

	Flashvars: sprites, how many (300 unless given, 1 to 5000).
	At its start it calls "busyStarted"(sprites).
	Callback: frames() answers the frames played so far.
**/
class BusyMovie extends Sprite {
	static var COLOURS = [0xF3C768, 0xC85A1E, 0x9FE08A, 0x68A8F3, 0xE070C0, 0xE6D7B0];

	var movers:Array<Mover> = [];
	var status:TextField;
	var frames = 0;
	var windowFrames = 0;
	var windowStart = 0;
	var lastRate = 0.0;

	static function main() {
		var stage = flash.Lib.current.stage;
		stage.scaleMode = StageScaleMode.NO_SCALE;
		stage.align = StageAlign.TOP_LEFT;
		flash.Lib.current.addChild(new BusyMovie());
	}

	public function new() {
		super();
		var vars:Dynamic = flash.Lib.current.loaderInfo.parameters;
		var count = Std.parseInt(Std.string(Reflect.field(vars, "sprites")));
		if (count == null || count < 1 || count > 5000)
			count = 300;
		var stage = flash.Lib.current.stage;
		Theme.backdrop(graphics, width0(), height0());
		for (i in 0...count) {
			var mover = new Mover(COLOURS[i % COLOURS.length], 10 + (i * 7) % 30);
			mover.shape.x = Math.random() * width0();
			mover.shape.y = Math.random() * height0();
			if (i % 5 == 0)
				mover.shape.blendMode = BlendMode.ADD;
			addChild(mover.shape);
			movers.push(mover);
		}
		status = Theme.label("", 20, Theme.GOLD, true);
		status.x = 12;
		status.y = 8;
		addChild(status);
		HostCalls.register("frames", function(_) return frames);
		HostCalls.call("busyStarted", [count]);
		windowStart = flash.Lib.getTimer();
		stage.addEventListener(Event.ENTER_FRAME, function(_) step());
		stage.addEventListener(Event.RESIZE, function(_) Theme.backdrop(graphics, width0(), height0()));
	}

	static function width0():Float {
		var w = flash.Lib.current.stage.stageWidth;
		return w > 0 ? w : 1000;
	}

	static function height0():Float {
		var h = flash.Lib.current.stage.stageHeight;
		return h > 0 ? h : 600;
	}

	function step() {
		var w = width0(), h = height0();
		for (mover in movers)
			mover.step(w, h);
		frames++;
		windowFrames++;
		var now = flash.Lib.getTimer();
		if (now - windowStart >= 1000) {
			lastRate = Math.round(windowFrames * 10000 / (now - windowStart)) / 10;
			HostCalls.call("frameRate", [lastRate, frames]);
			windowFrames = 0;
			windowStart = now;
		}
		status.text = "frame " + frames + "   " + lastRate + " fps   " + movers.length + " sprites   t=" + now;
	}
}

/** One star: its shape, speed, turn and fade. */
class Mover {
	public var shape = new Shape();

	var dx:Float;
	var dy:Float;
	var turn:Float;
	var phase:Float;

	public function new(colour:Int, radius:Float) {
		dx = (Math.random() - 0.5) * 8;
		dy = (Math.random() - 0.5) * 8;
		turn = (Math.random() - 0.5) * 12;
		phase = Math.random() * Math.PI * 2;
		var g = shape.graphics;
		var m = new Matrix();
		m.createGradientBox(radius * 2, radius * 2, 0, -radius, -radius);
		g.beginGradientFill(GradientType.RADIAL, [0xFFFFFF, colour], [1, 0.6], [0, 255], m);
		g.moveTo(radius, 0);
		for (i in 1...10) {
			var r = i % 2 == 0 ? radius : radius * 0.45;
			var a = i * Math.PI / 5;
			g.lineTo(Math.cos(a) * r, Math.sin(a) * r);
		}
		g.endFill();
	}

	public function step(w:Float, h:Float) {
		shape.x += dx;
		shape.y += dy;
		if (shape.x < 0 || shape.x > w)
			dx = -dx;
		if (shape.y < 0 || shape.y > h)
			dy = -dy;
		shape.rotation += turn;
		phase += 0.05;
		shape.alpha = 0.55 + 0.4 * Math.sin(phase);
	}
}
