# Text codec, string helpers, number codecs, debug trace and plain lists.
orv_test_group(foundation_tests text "TextCodec*:String*:Number*:DebugTrace*:PtrListTest*:TextList*")
