import flash.display.GradientType;
import flash.display.Graphics;
import flash.geom.Matrix;
import flash.text.TextField;
import flash.text.TextFieldAutoSize;
import flash.text.TextFormat;

/** Colours and text helpers shared by the movies (dark fantasy, gold on black). */
class Theme {
	public static inline var GOLD = 0xF3C768;
	public static inline var PALE = 0xE6D7B0;
	public static inline var DIM = 0x9A8462;
	public static inline var EDGE = 0x7A5428;
	public static inline var GREEN = 0x9FE08A;

	public static function label(text:String, size:Int, colour:Int, bold = false):TextField {
		var field = new TextField();
		field.defaultTextFormat = new TextFormat("_sans", size, colour, bold);
		field.selectable = false;
		field.mouseEnabled = false;
		field.autoSize = TextFieldAutoSize.LEFT;
		field.text = text;
		return field;
	}

	/** A wrapping, read-only text block of a fixed width. */
	public static function block(width:Float, size:Int, colour:Int):TextField {
		var field = new TextField();
		field.defaultTextFormat = new TextFormat("_sans", size, colour);
		field.selectable = false;
		field.mouseEnabled = false;
		field.multiline = true;
		field.wordWrap = true;
		field.width = width;
		field.autoSize = TextFieldAutoSize.LEFT;
		return field;
	}

	/** The whole-stage backdrop: a dark vertical gradient with a warm glow. */
	public static function backdrop(g:Graphics, width:Float, height:Float) {
		g.clear();
		var m = new Matrix();
		m.createGradientBox(width, height, Math.PI / 2, 0, 0);
		g.beginGradientFill(GradientType.LINEAR, [0x24140F, 0x120A0C, 0x07050A], [1, 1, 1], [0, 140, 255], m);
		g.drawRect(0, 0, width, height);
		g.endFill();
		var glow = new Matrix();
		glow.createGradientBox(width * 0.8, height * 0.9, 0, width * 0.1, -height * 0.25);
		g.beginGradientFill(GradientType.RADIAL, [0xC85A1E, 0xC85A1E], [0.35, 0], [0, 255], glow);
		g.drawRect(0, 0, width, height);
		g.endFill();
	}

	/** A framed panel with a faint inner highlight. */
	public static function panel(g:Graphics, x:Float, y:Float, width:Float, height:Float) {
		var m = new Matrix();
		m.createGradientBox(width, height, Math.PI / 2, x, y);
		g.lineStyle(1, EDGE);
		g.beginGradientFill(GradientType.LINEAR, [0x2A1814, 0x120C0E], [0.92, 0.92], [0, 255], m);
		g.drawRoundRect(x, y, width, height, 8, 8);
		g.endFill();
		g.lineStyle(1, 0xC08A3A, 0.25);
		g.moveTo(x + 6, y + 1.5);
		g.lineTo(x + width - 6, y + 1.5);
		g.lineStyle();
	}
}
