package haxe;

import flash.errors.Error;
import haxe.CallStack.StackItem;

/**
	Replaces the standard library's flash version, which reads the text of
	Error.getStackTrace(): players without a debugger (Ruffle among them)
	return null there, so every caught exception failed a second time inside
	the catch. Here a missing stack is simply empty.
**/
@:dox(hide)
@:noCompletion
@:allow(haxe.Exception)
class NativeStackTrace {
	@:ifFeature('haxe.NativeStackTrace.exceptionStack')
	static public inline function saveStack(e:Any):Void {}

	static public inline function callStack():String {
		return normalize(new Error().getStackTrace(), 1);
	}

	static public function exceptionStack():String {
		var err:Null<Error> = untyped flash.Boot.lastError;
		return err == null ? '' : normalize(err.getStackTrace());
	}

	static public function toHaxe(native:String, skip:Int = 0):Array<StackItem> {
		var items = new Array<StackItem>();
		if (native == null)
			return items;
		var line = ~/at ([^\/]+?)\$?(\/[^\(]+)?\(\)(\[(.*?):([0-9]+)\])?/;
		var count = 0;
		while (line.match(native)) {
			native = line.matchedRight();
			if (skip > count++)
				continue;
			var cl = line.matched(1).split("::").join(".");
			var meth = line.matched(2);
			var item = meth == null ? Method(cl, "new") : Method(cl, meth.substring(1));
			if (line.matched(3) != null)
				item = FilePos(item, line.matched(4), Std.parseInt(line.matched(5)));
			items.push(item);
		}
		return items;
	}

	static function normalize(stack:Null<String>, skipItems:Int = 0):String {
		if (stack == null)
			return '';
		switch (stack.substring(0, 6)) {
			case 'Error:' | 'Error\n':
				skipItems += 1;
			case _:
		}
		var pos = 0;
		while (skipItems-- > 0) {
			pos = stack.indexOf('\n', pos);
			if (pos < 0)
				return '';
			pos++;
		}
		return stack.substring(pos);
	}
}
