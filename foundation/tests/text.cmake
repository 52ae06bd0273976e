# Text codec, string helpers, number codecs, debug trace, plain lists and
# registry wrappers.
orv_test_group(foundation_tests text "TextCodec*:String*:Number*:DebugTrace*:PtrListTest*:TextList*:RegistryWrappers*")
