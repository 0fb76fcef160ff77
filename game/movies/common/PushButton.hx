import flash.display.GradientType;
import flash.display.Sprite;
import flash.events.MouseEvent;
import flash.geom.Matrix;
import flash.text.TextField;

/** A gold push button drawn with vector graphics: normal, hover and pressed looks. */
class PushButton extends Sprite {
	static inline var HEIGHT = 34;

	var caption:TextField;
	var buttonWidth:Float;
	var hover = false;
	var pressed = false;

	public function new(text:String, width:Float, onClick:Void->Void) {
		super();
		buttonWidth = width;
		caption = Theme.label(text, 14, 0x2A1204, true);
		addChild(caption);
		buttonMode = true;
		useHandCursor = true;
		mouseChildren = false;
		addEventListener(MouseEvent.ROLL_OVER, function(_) { hover = true; redraw(); });
		addEventListener(MouseEvent.ROLL_OUT, function(_) { hover = false; pressed = false; redraw(); });
		addEventListener(MouseEvent.MOUSE_DOWN, function(_) { pressed = true; redraw(); });
		addEventListener(MouseEvent.MOUSE_UP, function(_) { pressed = false; redraw(); });
		addEventListener(MouseEvent.CLICK, function(_) onClick());
		redraw();
	}

	/** Smaller type, down to 10 points, when the caption does not fit. */
	function fitCaption() {
		var size = 14;
		while (true) {
			var format = caption.getTextFormat();
			format.size = size;
			caption.setTextFormat(format);
			if (size <= 10 || caption.width + 12 <= buttonWidth)
				break;
			size--;
		}
	}

	/** Narrower buttons when the stage is small. */
	public function setWidth(width:Float) {
		buttonWidth = width;
		redraw();
	}

	function redraw() {
		var g = graphics;
		g.clear();
		var colours:Array<UInt> = pressed ? [0xB06A18, 0xE0A040, 0xFFD886] : hover ? [0xFFE6A8, 0xF0B850, 0xC47C20] : [0xFFD886, 0xE0A040, 0xB06A18];
		var m = new Matrix();
		m.createGradientBox(buttonWidth, HEIGHT, Math.PI / 2, 0, 0);
		g.lineStyle(1, 0x5A3010);
		g.beginGradientFill(GradientType.LINEAR, colours, [1, 1, 1], [0, 140, 255], m);
		g.drawRoundRect(0, 0, buttonWidth, HEIGHT, 6, 6);
		g.endFill();
		fitCaption();
		caption.x = Math.round((buttonWidth - caption.width) / 2);
		caption.y = Math.round((HEIGHT - caption.height) / 2) + (pressed ? 1 : 0);
	}
}
