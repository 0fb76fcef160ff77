import flash.display.Sprite;
import flash.display.StageAlign;
import flash.display.StageScaleMode;
import flash.events.Event;
import flash.media.Sound;

/** The tone the movie plays (written by make_tone.py at build time). */
@:sound("tone.wav")
class Tone extends Sound {}

/**
	A movie for the host's sound test: at its first frame it fills the stage
	with one flat colour (so a test can see when it started) and plays an
	embedded one-second 880 Hz tone once, with no click from anyone.
**/
class ToneMovie extends Sprite {
	public static inline var COLOUR = 0x3050C0;

	static function main() {
		var stage = flash.Lib.current.stage;
		stage.scaleMode = StageScaleMode.NO_SCALE;
		stage.align = StageAlign.TOP_LEFT;
		var movie = new ToneMovie();
		flash.Lib.current.addChild(movie);
		stage.addEventListener(Event.RESIZE, function(_) movie.paint());
		movie.paint();
		new Tone().play();
	}

	function paint() {
		var stage = flash.Lib.current.stage;
		graphics.clear();
		graphics.beginFill(COLOUR);
		graphics.drawRect(0, 0, Math.max(stage.stageWidth, 1), Math.max(stage.stageHeight, 1));
		graphics.endFill();
	}
}
