# Bar decoders, ex-rights records and adjustment, level-2 bar supplements,
# with their simulated-server reply builders.
orv_test_group(marketdata_tests decoders-bars "BarDecoders*:ExRights*:BarSupplements*:BarReplies*:BarsLoopback*:BarsDispatch*")
